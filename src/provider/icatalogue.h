// The four Winsock catalogue operations the provider installation needs.
// The real catalogue calls the platform; the simulated one stands in for it
// where the platform's catalogue is missing or only stubbed (Wine, tests).
#pragma once
#include <winsock2.h>
#include <ws2spi.h>

class ICatalogue {
 public:
  virtual ~ICatalogue() = default;

  // WSCEnumProtocols with no protocol filter: with no buffer, or one too
  // small, answers SOCKET_ERROR with WSAENOBUFS and the needed size in
  // *bufferLength; otherwise fills the buffer and answers the record count.
  virtual int EnumProtocols(WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength, int* error) = 0;
  // 0, or SOCKET_ERROR with *error set (for instance when a provider with
  // this GUID is already present).
  virtual int InstallProvider(const GUID& providerId, const wchar_t* path,
                              const WSAPROTOCOL_INFOW* records, DWORD count, int* error) = 0;
  // 0, or an error code.
  virtual int WriteProviderOrder(const DWORD* ids, DWORD count) = 0;
  // Removes every entry under the GUID: 0, or SOCKET_ERROR with *error set.
  virtual int DeinstallProvider(const GUID& providerId, int* error) = 0;
};
