#include "provider/simcatalogue.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// A record the platform would refuse: chain length outside 0..7 or a name
// without a terminator inside its field.
bool IsMalformed(const WSAPROTOCOL_INFOW& r) {
  if (r.ProtocolChain.ChainLen < 0 || r.ProtocolChain.ChainLen > MAX_PROTOCOL_CHAIN) return true;
  return wmemchr(r.szProtocol, L'\0', WSAPROTOCOL_LEN + 1) == nullptr;
}

}  // namespace

CSimCatalogue::CSimCatalogue() : m_nextId(1001) {}

DWORD CSimCatalogue::AddBaseProvider(const wchar_t* name, int family, int protocol,
                                     int socketType, DWORD serviceFlags1) {
  WSAPROTOCOL_INFOW r;
  std::memset(&r, 0, sizeof r);
  r.dwServiceFlags1 = serviceFlags1;
  r.ProtocolChain.ChainLen = BASE_PROTOCOL;
  r.iVersion = 2;
  r.iAddressFamily = family;
  r.iMaxSockAddr = 16;
  r.iMinSockAddr = 16;
  r.iSocketType = socketType;
  r.iProtocol = protocol;
  wcsncpy(r.szProtocol, name, WSAPROTOCOL_LEN);
  GUID id{};
  id.Data1 = 0xB0000000u + m_nextId;  // one GUID per base provider
  return AddRecord(r, id);
}

DWORD CSimCatalogue::AddRecord(const WSAPROTOCOL_INFOW& record, const GUID& providerId) {
  WSAPROTOCOL_INFOW r = record;
  r.ProviderId = providerId;
  r.dwCatalogEntryId = m_nextId++;
  m_records.push_back(r);
  m_paths.emplace_back();
  return r.dwCatalogEntryId;
}

std::vector<DWORD> CSimCatalogue::Ids() const {
  std::vector<DWORD> ids;
  for (const auto& r : m_records) ids.push_back(r.dwCatalogEntryId);
  return ids;
}

const WSAPROTOCOL_INFOW* CSimCatalogue::FindById(DWORD id) const {
  for (const auto& r : m_records)
    if (r.dwCatalogEntryId == id) return &r;
  return nullptr;
}

std::wstring CSimCatalogue::PathOf(DWORD id) const {
  for (size_t i = 0; i < m_records.size(); ++i)
    if (m_records[i].dwCatalogEntryId == id) return m_paths[i];
  return std::wstring();
}

int CSimCatalogue::EnumProtocols(WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength, int* error) {
  const bool sizeQuery = buffer == nullptr;
  const int injected = sizeQuery ? m_firstEnumError : m_secondEnumError;
  if (injected) {
    *error = injected;
    return SOCKET_ERROR;
  }
  std::vector<const WSAPROTOCOL_INFOW*> shown;
  for (const auto& r : m_records)
    if (!(m_hideProvider && SameGuid(r.ProviderId, m_hiddenProvider))) shown.push_back(&r);
  const DWORD needed = static_cast<DWORD>(shown.size() * sizeof(WSAPROTOCOL_INFOW));
  if (sizeQuery || *bufferLength < needed) {
    *bufferLength = needed;
    *error = WSAENOBUFS;
    return SOCKET_ERROR;
  }
  for (size_t i = 0; i < shown.size(); ++i) buffer[i] = *shown[i];
  return static_cast<int>(shown.size());
}

int CSimCatalogue::InstallProvider(const GUID& providerId, const wchar_t* path,
                                   const WSAPROTOCOL_INFOW* records, DWORD count, int* error) {
  ++m_installCalls;
  if (m_installError && (m_installFailingCall == 0 || m_installFailingCall == m_installCalls)) {
    *error = m_installError;
    return SOCKET_ERROR;
  }
  if (!path || !records || count == 0) {
    *error = WSAEINVAL;
    return SOCKET_ERROR;
  }
  for (const auto& r : m_records) {
    if (SameGuid(r.ProviderId, providerId)) {
      *error = WSAEINVAL;
      return SOCKET_ERROR;
    }
  }
  for (DWORD i = 0; i < count; ++i) {
    if (IsMalformed(records[i])) {
      *error = WSAEINVAL;
      return SOCKET_ERROR;
    }
  }
  for (DWORD i = 0; i < count; ++i) {
    AddRecord(records[i], providerId);
    m_paths.back() = path;
  }
  return 0;
}

int CSimCatalogue::WriteProviderOrder(const DWORD* ids, DWORD count) {
  ++m_orderCalls;
  if (m_orderError) return m_orderError;
  if (!ids || count != m_records.size()) return WSAEINVAL;
  std::vector<WSAPROTOCOL_INFOW> records;
  std::vector<std::wstring> paths;
  std::vector<bool> taken(m_records.size(), false);
  for (DWORD i = 0; i < count; ++i) {
    size_t at = 0;
    while (at < m_records.size() && m_records[at].dwCatalogEntryId != ids[i]) ++at;
    if (at == m_records.size() || taken[at]) return WSAEINVAL;  // not a permutation
    taken[at] = true;
    records.push_back(m_records[at]);
    paths.push_back(m_paths[at]);
  }
  m_records.swap(records);
  m_paths.swap(paths);
  return 0;
}

int CSimCatalogue::DeinstallProvider(const GUID& providerId, int* error) {
  size_t kept = 0;
  for (size_t i = 0; i < m_records.size(); ++i) {
    if (SameGuid(m_records[i].ProviderId, providerId)) continue;
    m_records[kept] = m_records[i];
    m_paths[kept] = m_paths[i];
    ++kept;
  }
  if (kept == m_records.size()) {
    *error = WSAEINVAL;
    return SOCKET_ERROR;
  }
  m_records.resize(kept);
  m_paths.resize(kept);
  return 0;
}
