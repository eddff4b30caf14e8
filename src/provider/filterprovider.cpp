#include "provider/filterprovider.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "provider/realcatalogue.h"

const GUID kLayeredProviderGuid = {
    0xc5fabbd0, 0x9736, 0x11d1, {0x93, 0x7f, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const GUID kChainProviderGuid = {
    0xf9065320, 0x9e90, 0x11d1, {0x93, 0x81, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const wchar_t kFilterLibraryPath[] = L"Quorvane.dll";

namespace {

const wchar_t kLayeredName[] = L"Layered IP";
const wchar_t* const kChainPatterns[kBaseKinds] = {
    L"Layered RAW/IP over [%s]", L"Layered TCP/IP over [%s]", L"Layered UDP/IP over [%s]"};
const int kBaseProtocols[kBaseKinds] = {0, IPPROTO_TCP, IPPROTO_UDP};

CRealCatalogue g_realCatalogue;
ICatalogue* g_pCatalogue = &g_realCatalogue;

void PrintToStdout(const char* text) {
  fputs(text, stdout);
  fflush(stdout);
}
ProviderPrintFn g_pfnPrint = PrintToStdout;

void Print(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_pfnPrint(text);
}

// The catalogue snapshot: a zero-filled block of every record.
WSAPROTOCOL_INFOW* g_pSnapshot = nullptr;
int g_nSnapshotCount = 0;

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

bool IsOwnEntry(const WSAPROTOCOL_INFOW& r) {
  return SameGuid(r.ProviderId, kLayeredProviderGuid) || SameGuid(r.ProviderId, kChainProviderGuid);
}

}  // namespace

ICatalogue* SetCatalogue(ICatalogue* catalogue) {
  ICatalogue* previous = g_pCatalogue;
  g_pCatalogue = catalogue ? catalogue : &g_realCatalogue;
  return previous;
}

ICatalogue* GetCatalogue() { return g_pCatalogue; }

ProviderPrintFn SetProviderPrint(ProviderPrintFn print) {
  ProviderPrintFn previous = g_pfnPrint;
  g_pfnPrint = print ? print : PrintToStdout;
  return previous;
}

void ReleaseCatalogueSnapshot() {
  if (g_pSnapshot) GlobalFree(g_pSnapshot);
  g_pSnapshot = nullptr;
  g_nSnapshotCount = 0;
}

const WSAPROTOCOL_INFOW* CatalogueSnapshot(int* count) {
  *count = g_nSnapshotCount;
  return g_pSnapshot;
}

bool EnumerateCatalogue() {
  ReleaseCatalogueSnapshot();
  DWORD size = 0;
  int error = 0;
  if (g_pCatalogue->EnumProtocols(nullptr, &size, &error) == SOCKET_ERROR && error != WSAENOBUFS) {
    Print("First WSCEnumProtocols failed %d\n", error);
    return false;
  }
  if (size < sizeof(WSAPROTOCOL_INFOW)) {  // an empty catalogue
    Print("Found %d protocols\n", 0);
    return true;
  }
  g_pSnapshot = static_cast<WSAPROTOCOL_INFOW*>(GlobalAlloc(GPTR, size));
  if (!g_pSnapshot) {
    Print("Cannot enumerate Protocols %d\n", static_cast<int>(GetLastError()));
    return false;
  }
  int count = g_pCatalogue->EnumProtocols(g_pSnapshot, &size, &error);
  if (count == SOCKET_ERROR) {
    Print("Second WSCEnumProtocols failed %d\n", error);
    ReleaseCatalogueSnapshot();
    return false;
  }
  // Never trust a count beyond what the block holds.
  const int capacity = static_cast<int>(size / sizeof(WSAPROTOCOL_INFOW));
  if (count < 0) count = 0;
  if (count > capacity) count = capacity;
  g_nSnapshotCount = count;
  Print("Found %d protocols\n", count);
  return true;
}

void PickBaseEntries(const WSAPROTOCOL_INFOW* records, int count, BaseEntries* bases) {
  std::memset(bases, 0, sizeof *bases);
  for (int i = 0; i < count; ++i) {
    const WSAPROTOCOL_INFOW& r = records[i];
    if (r.iAddressFamily != AF_INET) continue;
    // A layered entry standing first (another product's) leads nowhere by
    // itself: the base is the first record that is a provider or a chain.
    if (r.ProtocolChain.ChainLen < BASE_PROTOCOL) continue;
    for (int kind = 0; kind < kBaseKinds; ++kind) {
      if (bases->found[kind] || r.iProtocol != kBaseProtocols[kind]) continue;
      bases->found[kind] = true;
      bases->id[kind] = r.dwCatalogEntryId;
      bases->record[kind] = r;
      bases->record[kind].dwServiceFlags1 &= ~static_cast<DWORD>(XP1_IFS_HANDLES);
    }
  }
}

void MakeLayeredEntry(const WSAPROTOCOL_INFOW& rawBase, WSAPROTOCOL_INFOW* entry) {
  *entry = rawBase;
  entry->dwServiceFlags1 &= ~static_cast<DWORD>(XP1_IFS_HANDLES);
  std::memset(entry->szProtocol, 0, sizeof entry->szProtocol);
  wcscpy(entry->szProtocol, kLayeredName);
  entry->ProtocolChain.ChainLen = LAYERED_PROTOCOL;
}

void ComposeChainName(const wchar_t* pattern, const wchar_t* baseName, wchar_t* out) {
  const wchar_t* mark = wcsstr(pattern, L"%s");
  const size_t patternLength = wcslen(pattern);
  const size_t prefix = mark ? static_cast<size_t>(mark - pattern) : patternLength;
  const wchar_t* suffix = mark ? mark + 2 : pattern + patternLength;
  size_t suffixLength = wcslen(suffix);
  size_t nameLength = mark ? wcsnlen(baseName, WSAPROTOCOL_LEN) : 0;

  size_t length = 0;
  auto append = [&](const wchar_t* text, size_t n) {
    if (n > WSAPROTOCOL_LEN - length) n = WSAPROTOCOL_LEN - length;
    wmemcpy(out + length, text, n);
    length += n;
  };
  const size_t fixed = prefix + suffixLength;
  if (fixed + nameLength > WSAPROTOCOL_LEN)
    nameLength = fixed < WSAPROTOCOL_LEN ? WSAPROTOCOL_LEN - fixed : 0;
  append(pattern, prefix);
  append(baseName, nameLength);
  append(suffix, suffixLength);
  out[length] = L'\0';
}

bool MakeChainEntry(const WSAPROTOCOL_INFOW& base, DWORD baseId, DWORD layeredId,
                    const wchar_t* namePattern, WSAPROTOCOL_INFOW* entry) {
  const int length = base.ProtocolChain.ChainLen;
  // A layered entry (length 0) has no chain to lead to; a full chain has no
  // room for the layered id in front.
  if (length < BASE_PROTOCOL || length >= MAX_PROTOCOL_CHAIN) return false;
  *entry = base;
  entry->dwServiceFlags1 &= ~static_cast<DWORD>(XP1_IFS_HANDLES);
  std::memset(entry->szProtocol, 0, sizeof entry->szProtocol);
  ComposeChainName(namePattern, base.szProtocol, entry->szProtocol);
  DWORD* chain = entry->ProtocolChain.ChainEntries;
  if (length == BASE_PROTOCOL) {
    chain[1] = baseId;
  } else {
    for (int k = length; k >= 1; --k) chain[k] = chain[k - 1];
  }
  entry->ProtocolChain.ChainLen = length + 1;
  chain[0] = layeredId;
  return true;
}

int MakeChainEntries(const BaseEntries& bases, DWORD layeredId, WSAPROTOCOL_INFOW entries[3]) {
  static const BaseKind order[] = {kBaseTcp, kBaseUdp, kBaseRaw};
  int count = 0;
  for (BaseKind kind : order) {
    if (!bases.found[kind]) continue;
    if (MakeChainEntry(bases.record[kind], bases.id[kind], layeredId, kChainPatterns[kind],
                       &entries[count])) {
      ++count;
    } else {
      Print("Chain over catalogue entry %lu skipped: chain length %d\n",
            static_cast<unsigned long>(bases.id[kind]), bases.record[kind].ProtocolChain.ChainLen);
    }
  }
  return count;
}

bool FindProviderEntry(const WSAPROTOCOL_INFOW* records, int count, const GUID& providerId,
                       DWORD* id) {
  for (int i = 0; i < count; ++i) {
    if (SameGuid(records[i].ProviderId, providerId)) {
      *id = records[i].dwCatalogEntryId;
      return true;
    }
  }
  return false;
}

int ComposeProviderOrder(const WSAPROTOCOL_INFOW* records, int count, DWORD* ids) {
  int n = 0;
  for (int pass = 0; pass < 2; ++pass) {
    const bool wantOwn = pass == 0;
    for (int i = 0; i < count; ++i)
      if (IsOwnEntry(records[i]) == wantOwn) ids[n++] = records[i].dwCatalogEntryId;
  }
  return n;
}

void InstallFilterProvider() {
  int count = 0;
  EnumerateCatalogue();
  const WSAPROTOCOL_INFOW* records = CatalogueSnapshot(&count);
  BaseEntries bases;
  PickBaseEntries(records, count, &bases);
  if (!bases.found[kBaseRaw]) {
    Print("No raw IPv4 provider found; nothing installed\n");
    ReleaseCatalogueSnapshot();
    return;
  }

  WSAPROTOCOL_INFOW layered;
  MakeLayeredEntry(bases.record[kBaseRaw], &layered);
  int error = 0;
  if (GetCatalogue()->InstallProvider(kLayeredProviderGuid, kFilterLibraryPath, &layered, 1,
                                      &error) != 0) {
    Print("WSCInstallProvider failed %d\n", error);
    ReleaseCatalogueSnapshot();
    return;
  }

  EnumerateCatalogue();
  records = CatalogueSnapshot(&count);
  DWORD layeredId = 0;
  if (!FindProviderEntry(records, count, kLayeredProviderGuid, &layeredId)) {
    // Chains built on a guessed id would lead nowhere.
    Print("Layered entry not found after installing it; no chains installed\n");
    ReleaseCatalogueSnapshot();
    return;
  }

  WSAPROTOCOL_INFOW chains[3];
  const int chainCount = MakeChainEntries(bases, layeredId, chains);
  if (chainCount > 0 &&
      GetCatalogue()->InstallProvider(kChainProviderGuid, kFilterLibraryPath, chains,
                                      static_cast<DWORD>(chainCount), &error) != 0) {
    Print("WSCInstallProvider for protocol chain failed %d\n", error);
    ReleaseCatalogueSnapshot();
    return;
  }

  EnumerateCatalogue();
  records = CatalogueSnapshot(&count);
  if (count == 0) {  // enumeration failed and said so; an empty order is no order
    ReleaseCatalogueSnapshot();
    return;
  }
  DWORD* ids = static_cast<DWORD*>(GlobalAlloc(GPTR, sizeof(DWORD) * count));
  if (!ids) {
    Print("GlobalAlloc failed %d\n", static_cast<int>(GetLastError()));
    ReleaseCatalogueSnapshot();
    return;
  }
  const int idCount = ComposeProviderOrder(records, count, ids);
  const int result = GetCatalogue()->WriteProviderOrder(ids, static_cast<DWORD>(idCount));
  if (result != 0) Print("WSCWriteProviderOrder failed %d\n", result);
  GlobalFree(ids);
  ReleaseCatalogueSnapshot();
}

void RemoveFilterProvider() {
  int error = 0;
  if (GetCatalogue()->DeinstallProvider(kLayeredProviderGuid, &error) != 0)
    Print("WSCDeistallProvider for Layer failed %d\n", error);
  error = 0;
  if (GetCatalogue()->DeinstallProvider(kChainProviderGuid, &error) != 0)
    Print("WSCDeistallProvider for Chain failed %d\n", error);
}
