// The Winsock catalogue operations the provider installation needs.
// The real catalogue calls the platform; the simulated one stands in for it
// where the platform's catalogue is missing or only stubbed (Wine, tests).
//
// 64-bit Windows keeps two catalogues: the native one, which 64-bit programs
// use, and a 32-bit one for 32-bit programs. The platform installs into both
// at once or into the native one alone; it has no call that installs into
// the 32-bit one alone, but it can enumerate, update, order and remove there.
#pragma once
#include <winsock2.h>
#include <ws2spi.h>

enum CatalogueKind { kNativeCatalogue, kWow32Catalogue };

class ICatalogue {
 public:
  virtual ~ICatalogue() = default;

  // A 32-bit catalogue beside the native one, with the calls that reach it.
  virtual bool HasWow32Catalogue() = 0;
  // fileName lies where the programs of that catalogue load it from: the
  // system directory, or the 32-bit system directory.
  virtual bool HasLibrary(CatalogueKind kind, const char* fileName) = 0;

  // WSCEnumProtocols (WSCEnumProtocols32) with no protocol filter: with no
  // buffer, or one too small, answers SOCKET_ERROR with WSAENOBUFS and the
  // needed size in *bufferLength; otherwise fills the buffer and answers the
  // record count.
  virtual int EnumProtocols(CatalogueKind kind, WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength,
                            int* error) = 0;
  // Into the native catalogue (WSCInstallProvider), or the same records
  // into both (WSCInstallProvider64_32). 0, or SOCKET_ERROR with *error set
  // (for instance when a provider with this GUID is already present).
  virtual int InstallProvider(bool bothCatalogues, const GUID& providerId, const wchar_t* path,
                              const WSAPROTOCOL_INFOW* records, DWORD count, int* error) = 0;
  // WSCUpdateProvider32: the 32-bit catalogue's entries under the GUID, in
  // their order, take the given records (their catalogue ids stay). 0, or
  // SOCKET_ERROR with *error set.
  virtual int UpdateProvider32(const GUID& providerId, const wchar_t* path,
                               const WSAPROTOCOL_INFOW* records, DWORD count, int* error) = 0;
  // WSCWriteProviderOrder (WSCWriteProviderOrder32): 0, or an error code.
  virtual int WriteProviderOrder(CatalogueKind kind, const DWORD* ids, DWORD count) = 0;
  // WSCDeinstallProvider (WSCDeinstallProvider32): removes every entry under
  // the GUID from that catalogue: 0, or SOCKET_ERROR with *error set.
  virtual int DeinstallProvider(CatalogueKind kind, const GUID& providerId, int* error) = 0;
};
