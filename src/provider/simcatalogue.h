// An in-memory Winsock catalogue that behaves as the platform's: new entries
// are appended with fresh, increasing catalogue ids, a second provider with
// a GUID already present is refused, a written order is applied exactly,
// and removal takes every entry of a GUID. Used where the platform's
// catalogue is stubbed (Wine) and by the tests.
#pragma once
#include <string>
#include <vector>

#include "provider/icatalogue.h"

class CSimCatalogue : public ICatalogue {
 public:
  CSimCatalogue();

  // Adds a base provider (chain length 1) and answers its catalogue id.
  DWORD AddBaseProvider(const wchar_t* name, int family, int protocol, int socketType,
                        DWORD serviceFlags1);
  // Adds a finished record as it stands, apart from a fresh catalogue id.
  DWORD AddRecord(const WSAPROTOCOL_INFOW& record, const GUID& providerId);

  const std::vector<WSAPROTOCOL_INFOW>& Records() const { return m_records; }
  std::vector<DWORD> Ids() const;
  const WSAPROTOCOL_INFOW* FindById(DWORD id) const;
  // Path given when the entry was installed (empty for added records).
  std::wstring PathOf(DWORD id) const;

  // Fault injection: a non-zero code makes the matching call fail with it.
  int m_firstEnumError = 0;   // the size query
  int m_secondEnumError = 0;  // the query with a buffer
  int m_installError = 0;
  int m_installFailingCall = 0;  // which install call fails (1 = first); 0 = every one
  int m_orderError = 0;
  // Entries of this GUID exist but are left out of the enumeration.
  bool m_hideProvider = false;
  GUID m_hiddenProvider{};

  int m_installCalls = 0;
  int m_orderCalls = 0;

  int EnumProtocols(WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength, int* error) override;
  int InstallProvider(const GUID& providerId, const wchar_t* path,
                      const WSAPROTOCOL_INFOW* records, DWORD count, int* error) override;
  int WriteProviderOrder(const DWORD* ids, DWORD count) override;
  int DeinstallProvider(const GUID& providerId, int* error) override;

 private:
  std::vector<WSAPROTOCOL_INFOW> m_records;
  std::vector<std::wstring> m_paths;  // parallel to m_records
  DWORD m_nextId;
};
