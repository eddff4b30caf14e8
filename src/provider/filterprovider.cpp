#include "provider/filterprovider.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <cwchar>

#include "provider/realcatalogue.h"

const GUID kLayeredProviderGuid = {
    0xc5fabbd0, 0x9736, 0x11d1, {0x93, 0x7f, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const GUID kChainProviderGuid = {
    0xf9065320, 0x9e90, 0x11d1, {0x93, 0x81, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const wchar_t kFilterLibraryPath[] = L"Quorvane.dll";
const char kFilterLibraryFile[] = "Quorvane.dll";

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

bool EnumerateCatalogue(CatalogueKind kind) {
  ReleaseCatalogueSnapshot();
  const bool wow32 = kind == kWow32Catalogue;
  const char* suffix = wow32 ? "32" : "";
  DWORD size = 0;
  int error = 0;
  if (g_pCatalogue->EnumProtocols(kind, nullptr, &size, &error) == SOCKET_ERROR && error != WSAENOBUFS) {
    Print("First WSCEnumProtocols%s failed %d\n", suffix, error);
    return false;
  }
  const char* found = wow32 ? "Found %d protocols in the 32-bit catalogue\n" : "Found %d protocols\n";
  if (size < sizeof(WSAPROTOCOL_INFOW)) {  // an empty catalogue
    Print(found, 0);
    return true;
  }
  g_pSnapshot = static_cast<WSAPROTOCOL_INFOW*>(GlobalAlloc(GPTR, size));
  if (!g_pSnapshot) {
    Print("Cannot enumerate Protocols %d\n", static_cast<int>(GetLastError()));
    return false;
  }
  int count = g_pCatalogue->EnumProtocols(kind, g_pSnapshot, &size, &error);
  if (count == SOCKET_ERROR) {
    Print("Second WSCEnumProtocols%s failed %d\n", suffix, error);
    ReleaseCatalogueSnapshot();
    return false;
  }
  // Never trust a count beyond what the block holds.
  const int capacity = static_cast<int>(size / sizeof(WSAPROTOCOL_INFOW));
  if (count < 0) count = 0;
  if (count > capacity) count = capacity;
  g_nSnapshotCount = count;
  Print(found, count);
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

namespace {

// The bases of one catalogue, from a fresh snapshot, and whether any of our
// entries are in it. False when the catalogue could not be read.
bool TakeBaseEntries(CatalogueKind kind, BaseEntries* bases, bool* holdsOwn) {
  int count = 0;
  const bool read = EnumerateCatalogue(kind);
  const WSAPROTOCOL_INFOW* records = CatalogueSnapshot(&count);
  PickBaseEntries(records, count, bases);
  *holdsOwn = false;
  for (int i = 0; i < count && !*holdsOwn; ++i) *holdsOwn = IsOwnEntry(records[i]);
  ReleaseCatalogueSnapshot();
  return read;
}

void RemoveOwnEntries(CatalogueKind kind) {
  const bool wow32 = kind == kWow32Catalogue;
  int error = 0;
  if (GetCatalogue()->DeinstallProvider(kind, kLayeredProviderGuid, &error) != 0)
    Print(wow32 ? "WSCDeinstallProvider32 for Layer failed %d\n" : "WSCDeistallProvider for Layer failed %d\n",
          error);
  error = 0;
  if (GetCatalogue()->DeinstallProvider(kind, kChainProviderGuid, &error) != 0)
    Print(wow32 ? "WSCDeinstallProvider32 for Chain failed %d\n" : "WSCDeistallProvider for Chain failed %d\n",
          error);
}

// Finds the layered entry in a fresh snapshot of the catalogue and builds
// the chains over its bases; false when the layered entry is not there.
bool BuildChains(CatalogueKind kind, const BaseEntries& bases, WSAPROTOCOL_INFOW chains[3], int* count) {
  int records = 0;
  *count = 0;
  EnumerateCatalogue(kind);
  const WSAPROTOCOL_INFOW* snapshot = CatalogueSnapshot(&records);
  DWORD layeredId = 0;
  const bool found = FindProviderEntry(snapshot, records, kLayeredProviderGuid, &layeredId);
  ReleaseCatalogueSnapshot();
  if (found) *count = MakeChainEntries(bases, layeredId, chains);
  return found;
}

bool SameChains(const WSAPROTOCOL_INFOW* a, int countA, const WSAPROTOCOL_INFOW* b, int countB) {
  return countA == countB && std::memcmp(a, b, sizeof(WSAPROTOCOL_INFOW) * countA) == 0;
}

// The chains went into both catalogues with the native catalogue's ids; the
// 32-bit catalogue gets its own, or none where they cannot be put: a chain
// with the other catalogue's ids would lead its programs nowhere.
void FitWow32Chains(const WSAPROTOCOL_INFOW* chains, int count, int installedCount) {
  int error = 0;
  if (installedCount == 0) {  // nothing went in that could be changed
    Print("Protocol chains do not fit the 32-bit catalogue; none installed there\n");
    return;
  }
  if (count == installedCount) {
    if (GetCatalogue()->UpdateProvider32(kChainProviderGuid, kFilterLibraryPath, chains,
                                         static_cast<DWORD>(count), &error) == 0)
      return;
    Print("WSCUpdateProvider32 for protocol chain failed %d; chains removed from the 32-bit catalogue\n",
          error);
  } else {
    Print("Protocol chains do not fit the 32-bit catalogue; removed there\n");
  }
  error = 0;
  if (GetCatalogue()->DeinstallProvider(kWow32Catalogue, kChainProviderGuid, &error) != 0)
    Print("WSCDeinstallProvider32 for Chain failed %d\n", error);
}

// Our entries first, the rest after, in one catalogue. False when no memory
// was left for the order.
bool PutOwnEntriesFirst(CatalogueKind kind) {
  int count = 0;
  EnumerateCatalogue(kind);
  const WSAPROTOCOL_INFOW* records = CatalogueSnapshot(&count);
  if (count == 0) {  // enumeration failed and said so; an empty order is no order
    ReleaseCatalogueSnapshot();
    return true;
  }
  DWORD* ids = static_cast<DWORD*>(GlobalAlloc(GPTR, sizeof(DWORD) * count));
  if (!ids) {
    Print("GlobalAlloc failed %d\n", static_cast<int>(GetLastError()));
    ReleaseCatalogueSnapshot();
    return false;
  }
  const int idCount = ComposeProviderOrder(records, count, ids);
  const int result = GetCatalogue()->WriteProviderOrder(kind, ids, static_cast<DWORD>(idCount));
  if (result != 0)
    Print(kind == kWow32Catalogue ? "WSCWriteProviderOrder32 failed %d\n" : "WSCWriteProviderOrder failed %d\n",
          result);
  GlobalFree(ids);
  ReleaseCatalogueSnapshot();
  return true;
}

}  // namespace

void InstallFilterProvider() {
  ICatalogue* catalogue = GetCatalogue();
  // An entry whose library is missing makes socket creation fail in every
  // program of that catalogue.
  if (!catalogue->HasLibrary(kNativeCatalogue, kFilterLibraryFile)) {
    Print("%s is not in the system directory; nothing installed\n", kFilterLibraryFile);
    return;
  }
  const bool both = catalogue->HasWow32Catalogue();
  if (both && !catalogue->HasLibrary(kWow32Catalogue, kFilterLibraryFile)) {
    Print("%s is not in the 32-bit system directory; nothing installed\n", kFilterLibraryFile);
    return;
  }

  BaseEntries bases[2];
  bool holdsOwn[2] = {false, false};
  bool read[2] = {false, false};
  read[kNativeCatalogue] =
      TakeBaseEntries(kNativeCatalogue, &bases[kNativeCatalogue], &holdsOwn[kNativeCatalogue]);
  if (!bases[kNativeCatalogue].found[kBaseRaw]) {
    Print("No raw IPv4 provider found; nothing installed\n");
    return;
  }
  if (both) {
    read[kWow32Catalogue] =
        TakeBaseEntries(kWow32Catalogue, &bases[kWow32Catalogue], &holdsOwn[kWow32Catalogue]);
    // Our entries in one catalogue only (put there before the system had
    // two, or left after one was reset): the pair would be refused at every
    // start, leaving the other catalogue's programs unfiltered for good. So
    // that one set goes, and both catalogues are filled afresh. Only when
    // both could be read: an unread catalogue may hold ours all the same.
    if (read[kNativeCatalogue] && read[kWow32Catalogue] &&
        holdsOwn[kNativeCatalogue] != holdsOwn[kWow32Catalogue]) {
      const CatalogueKind holder = holdsOwn[kNativeCatalogue] ? kNativeCatalogue : kWow32Catalogue;
      Print(holder == kNativeCatalogue ? "Filter entries missing in the 32-bit catalogue; installing anew\n"
                                       : "Filter entries missing in the native catalogue; installing anew\n");
      RemoveOwnEntries(holder);
      TakeBaseEntries(holder, &bases[holder], &holdsOwn[holder]);
      if (holdsOwn[holder]) return;  // not removed, and said so: the pair would be refused
      if (!bases[kNativeCatalogue].found[kBaseRaw]) {
        Print("No raw IPv4 provider found; nothing installed\n");
        return;
      }
    }
  }

  // Into both catalogues at once where there are two: the platform has no
  // call that installs into the 32-bit one alone.
  WSAPROTOCOL_INFOW layered;
  MakeLayeredEntry(bases[kNativeCatalogue].record[kBaseRaw], &layered);
  int error = 0;
  if (catalogue->InstallProvider(both, kLayeredProviderGuid, kFilterLibraryPath, &layered, 1, &error) != 0) {
    Print("WSCInstallProvider failed %d\n", error);
    return;
  }

  WSAPROTOCOL_INFOW chains[2][3];
  int chainCount[2] = {0, 0};
  if (!BuildChains(kNativeCatalogue, bases[kNativeCatalogue], chains[kNativeCatalogue],
                   &chainCount[kNativeCatalogue])) {
    // Chains built on a guessed id would lead nowhere.
    Print("Layered entry not found after installing it; no chains installed\n");
    return;
  }
  if (both && !BuildChains(kWow32Catalogue, bases[kWow32Catalogue], chains[kWow32Catalogue],
                           &chainCount[kWow32Catalogue]))
    Print("Layered entry not found in the 32-bit catalogue after installing it\n");

  if (chainCount[kNativeCatalogue] > 0 &&
      catalogue->InstallProvider(both, kChainProviderGuid, kFilterLibraryPath, chains[kNativeCatalogue],
                                 static_cast<DWORD>(chainCount[kNativeCatalogue]), &error) != 0) {
    Print("WSCInstallProvider for protocol chain failed %d\n", error);
    return;
  }
  if (both && !SameChains(chains[kNativeCatalogue], chainCount[kNativeCatalogue], chains[kWow32Catalogue],
                          chainCount[kWow32Catalogue]))
    FitWow32Chains(chains[kWow32Catalogue], chainCount[kWow32Catalogue], chainCount[kNativeCatalogue]);

  if (!PutOwnEntriesFirst(kNativeCatalogue)) return;
  if (both) PutOwnEntriesFirst(kWow32Catalogue);
}

void RemoveFilterProvider() {
  RemoveOwnEntries(kNativeCatalogue);
  if (GetCatalogue()->HasWow32Catalogue()) RemoveOwnEntries(kWow32Catalogue);
}

bool FilterProviderPresent() {
  for (CatalogueKind kind : {kNativeCatalogue, kWow32Catalogue}) {
    if (kind == kWow32Catalogue && !GetCatalogue()->HasWow32Catalogue()) continue;
    if (!EnumerateCatalogue(kind)) return true;
    int records = 0;
    const WSAPROTOCOL_INFOW* snapshot = CatalogueSnapshot(&records);
    DWORD id = 0;
    const bool ours = FindProviderEntry(snapshot, records, kLayeredProviderGuid, &id) ||
                      FindProviderEntry(snapshot, records, kChainProviderGuid, &id);
    ReleaseCatalogueSnapshot();
    if (ours) return true;
  }
  return false;
}
