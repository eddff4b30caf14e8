// An in-memory Winsock catalogue system that behaves as the platform's: a
// native catalogue and, when m_hasWow32 is set, a 32-bit one beside it (as
// on 64-bit Windows), each with its own catalogue ids. New entries are
// appended with fresh, increasing ids, a second provider with a GUID already
// present is refused, a written order is applied exactly, and removal takes
// every entry of a GUID. Used by the tests, where the platform's catalogue
// is stubbed (Wine).
#pragma once
#include <string>
#include <vector>

#include "provider/icatalogue.h"

class CSimCatalogue : public ICatalogue {
 public:
  CSimCatalogue();

  // Adds a base provider (chain length 1) and answers its catalogue id.
  DWORD AddBaseProvider(const wchar_t* name, int family, int protocol, int socketType,
                        DWORD serviceFlags1, CatalogueKind kind = kNativeCatalogue);
  // Adds a finished record as it stands, apart from a fresh catalogue id.
  DWORD AddRecord(const WSAPROTOCOL_INFOW& record, const GUID& providerId,
                  CatalogueKind kind = kNativeCatalogue);

  const std::vector<WSAPROTOCOL_INFOW>& Records(CatalogueKind kind = kNativeCatalogue) const {
    return m_stores[kind].records;
  }
  std::vector<DWORD> Ids(CatalogueKind kind = kNativeCatalogue) const;
  const WSAPROTOCOL_INFOW* FindById(DWORD id, CatalogueKind kind = kNativeCatalogue) const;
  // Path given when the entry was installed (empty for added records).
  std::wstring PathOf(DWORD id, CatalogueKind kind = kNativeCatalogue) const;

  // The system: a second, 32-bit catalogue, and which libraries are in place.
  bool m_hasWow32 = false;
  bool m_hasLibrary[2] = {true, true};
  std::vector<std::string> m_libraryQueries;  // file names asked for

  // Fault injection: a non-zero code makes the matching call fail with it.
  int m_firstEnumError = 0;   // the size query, native catalogue
  int m_secondEnumError = 0;  // the query with a buffer, native catalogue
  int m_wow32EnumError = 0;   // both queries, 32-bit catalogue
  int m_installError = 0;
  int m_installFailingCall = 0;  // which install call fails (1 = first); 0 = every one
  int m_updateError = 0;
  int m_orderError = 0;
  int m_wow32OrderError = 0;
  int m_wow32DeinstallError = 0;
  // Entries of this GUID exist but are left out of the enumeration.
  bool m_hideProvider = false;
  GUID m_hiddenProvider{};
  CatalogueKind m_hiddenIn = kNativeCatalogue;
  bool m_hiddenInBoth = true;

  int m_installCalls = 0;
  int m_updateCalls = 0;
  int m_orderCalls = 0;  // native catalogue
  int m_wow32Calls = 0;  // every call that reaches the 32-bit catalogue

  bool HasWow32Catalogue() override;
  bool HasLibrary(CatalogueKind kind, const char* fileName) override;
  int EnumProtocols(CatalogueKind kind, WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength,
                    int* error) override;
  int InstallProvider(bool bothCatalogues, const GUID& providerId, const wchar_t* path,
                      const WSAPROTOCOL_INFOW* records, DWORD count, int* error) override;
  int UpdateProvider32(const GUID& providerId, const wchar_t* path,
                       const WSAPROTOCOL_INFOW* records, DWORD count, int* error) override;
  int WriteProviderOrder(CatalogueKind kind, const DWORD* ids, DWORD count) override;
  int DeinstallProvider(CatalogueKind kind, const GUID& providerId, int* error) override;

 private:
  struct Store {
    std::vector<WSAPROTOCOL_INFOW> records;
    std::vector<std::wstring> paths;  // parallel to records
    DWORD nextId = 1001;
  };
  // A call for the 32-bit catalogue on a system without one fails.
  bool Reaches(CatalogueKind kind);
  bool Present(const Store& store, const GUID& providerId) const;
  Store m_stores[2];
};
