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

bool AnyMalformed(const WSAPROTOCOL_INFOW* records, DWORD count) {
  for (DWORD i = 0; i < count; ++i)
    if (IsMalformed(records[i])) return true;
  return false;
}

int Refuse(int* error, int code) {
  *error = code;
  return SOCKET_ERROR;
}

}  // namespace

CSimCatalogue::CSimCatalogue() = default;

DWORD CSimCatalogue::AddBaseProvider(const wchar_t* name, int family, int protocol,
                                     int socketType, DWORD serviceFlags1, CatalogueKind kind) {
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
  id.Data1 = 0xB0000000u + m_stores[kind].nextId;  // one GUID per base provider
  return AddRecord(r, id, kind);
}

DWORD CSimCatalogue::AddRecord(const WSAPROTOCOL_INFOW& record, const GUID& providerId,
                               CatalogueKind kind) {
  Store& store = m_stores[kind];
  WSAPROTOCOL_INFOW r = record;
  r.ProviderId = providerId;
  r.dwCatalogEntryId = store.nextId++;
  store.records.push_back(r);
  store.paths.emplace_back();
  return r.dwCatalogEntryId;
}

std::vector<DWORD> CSimCatalogue::Ids(CatalogueKind kind) const {
  std::vector<DWORD> ids;
  for (const auto& r : m_stores[kind].records) ids.push_back(r.dwCatalogEntryId);
  return ids;
}

const WSAPROTOCOL_INFOW* CSimCatalogue::FindById(DWORD id, CatalogueKind kind) const {
  for (const auto& r : m_stores[kind].records)
    if (r.dwCatalogEntryId == id) return &r;
  return nullptr;
}

std::wstring CSimCatalogue::PathOf(DWORD id, CatalogueKind kind) const {
  const Store& store = m_stores[kind];
  for (size_t i = 0; i < store.records.size(); ++i)
    if (store.records[i].dwCatalogEntryId == id) return store.paths[i];
  return std::wstring();
}

bool CSimCatalogue::Reaches(CatalogueKind kind) {
  if (kind != kWow32Catalogue) return true;
  ++m_wow32Calls;
  return m_hasWow32;
}

bool CSimCatalogue::Present(const Store& store, const GUID& providerId) const {
  for (const auto& r : store.records)
    if (SameGuid(r.ProviderId, providerId)) return true;
  return false;
}

bool CSimCatalogue::HasWow32Catalogue() { return m_hasWow32; }

bool CSimCatalogue::HasLibrary(CatalogueKind kind, const char* fileName) {
  m_libraryQueries.push_back(fileName);
  if (!Reaches(kind)) return false;
  return m_hasLibrary[kind];
}

int CSimCatalogue::EnumProtocols(CatalogueKind kind, WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength,
                                 int* error) {
  if (!Reaches(kind)) return Refuse(error, WSAEOPNOTSUPP);
  const bool sizeQuery = buffer == nullptr;
  const int injected =
      kind == kWow32Catalogue ? m_wow32EnumError : sizeQuery ? m_firstEnumError : m_secondEnumError;
  if (injected) return Refuse(error, injected);
  const bool hiding = m_hideProvider && (m_hiddenInBoth || m_hiddenIn == kind);
  std::vector<const WSAPROTOCOL_INFOW*> shown;
  for (const auto& r : m_stores[kind].records)
    if (!(hiding && SameGuid(r.ProviderId, m_hiddenProvider))) shown.push_back(&r);
  const DWORD needed = static_cast<DWORD>(shown.size() * sizeof(WSAPROTOCOL_INFOW));
  if (sizeQuery || *bufferLength < needed) {
    *bufferLength = needed;
    return Refuse(error, WSAENOBUFS);
  }
  for (size_t i = 0; i < shown.size(); ++i) buffer[i] = *shown[i];
  return static_cast<int>(shown.size());
}

int CSimCatalogue::InstallProvider(bool bothCatalogues, const GUID& providerId, const wchar_t* path,
                                   const WSAPROTOCOL_INFOW* records, DWORD count, int* error) {
  ++m_installCalls;
  if (bothCatalogues && !Reaches(kWow32Catalogue)) return Refuse(error, WSAEOPNOTSUPP);
  if (m_installError && (m_installFailingCall == 0 || m_installFailingCall == m_installCalls))
    return Refuse(error, m_installError);
  if (!path || !records || count == 0) return Refuse(error, WSAEINVAL);
  if (Present(m_stores[kNativeCatalogue], providerId) ||
      (bothCatalogues && Present(m_stores[kWow32Catalogue], providerId)))
    return Refuse(error, WSAEINVAL);
  if (AnyMalformed(records, count)) return Refuse(error, WSAEINVAL);
  const int stores = bothCatalogues ? 2 : 1;
  for (int s = 0; s < stores; ++s) {
    for (DWORD i = 0; i < count; ++i) {
      AddRecord(records[i], providerId, static_cast<CatalogueKind>(s));
      m_stores[s].paths.back() = path;
    }
  }
  return 0;
}

int CSimCatalogue::UpdateProvider32(const GUID& providerId, const wchar_t* path,
                                    const WSAPROTOCOL_INFOW* records, DWORD count, int* error) {
  ++m_updateCalls;
  if (!Reaches(kWow32Catalogue)) return Refuse(error, WSAEOPNOTSUPP);
  if (m_updateError) return Refuse(error, m_updateError);
  if (!path || !records || AnyMalformed(records, count)) return Refuse(error, WSAEINVAL);
  Store& store = m_stores[kWow32Catalogue];
  std::vector<size_t> at;
  for (size_t i = 0; i < store.records.size(); ++i)
    if (SameGuid(store.records[i].ProviderId, providerId)) at.push_back(i);
  if (at.empty() || at.size() != count) return Refuse(error, WSAEINVAL);
  for (DWORD i = 0; i < count; ++i) {
    WSAPROTOCOL_INFOW& r = store.records[at[i]];
    const DWORD id = r.dwCatalogEntryId;
    r = records[i];
    r.ProviderId = providerId;
    r.dwCatalogEntryId = id;
    store.paths[at[i]] = path;
  }
  return 0;
}

int CSimCatalogue::WriteProviderOrder(CatalogueKind kind, const DWORD* ids, DWORD count) {
  if (!Reaches(kind)) return ERROR_PROC_NOT_FOUND;
  if (kind == kNativeCatalogue) ++m_orderCalls;
  const int injected = kind == kWow32Catalogue ? m_wow32OrderError : m_orderError;
  if (injected) return injected;
  Store& store = m_stores[kind];
  if (!ids || count != store.records.size()) return WSAEINVAL;
  std::vector<WSAPROTOCOL_INFOW> records;
  std::vector<std::wstring> paths;
  std::vector<bool> taken(store.records.size(), false);
  for (DWORD i = 0; i < count; ++i) {
    size_t at = 0;
    while (at < store.records.size() && store.records[at].dwCatalogEntryId != ids[i]) ++at;
    if (at == store.records.size() || taken[at]) return WSAEINVAL;  // not a permutation
    taken[at] = true;
    records.push_back(store.records[at]);
    paths.push_back(store.paths[at]);
  }
  store.records.swap(records);
  store.paths.swap(paths);
  return 0;
}

int CSimCatalogue::DeinstallProvider(CatalogueKind kind, const GUID& providerId, int* error) {
  if (!Reaches(kind)) return Refuse(error, WSAEOPNOTSUPP);
  if (kind == kWow32Catalogue && m_wow32DeinstallError) return Refuse(error, m_wow32DeinstallError);
  Store& store = m_stores[kind];
  size_t kept = 0;
  for (size_t i = 0; i < store.records.size(); ++i) {
    if (SameGuid(store.records[i].ProviderId, providerId)) continue;
    store.records[kept] = store.records[i];
    store.paths[kept] = store.paths[i];
    ++kept;
  }
  if (kept == store.records.size()) return Refuse(error, WSAEINVAL);
  store.records.resize(kept);
  store.paths.resize(kept);
  return 0;
}
