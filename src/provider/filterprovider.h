// Entering the filter library into the Winsock catalogue: one layered entry
// and chains over the IPv4 TCP, UDP and raw providers, put first in the
// catalogue; and removing them again.
#pragma once
#include "provider/icatalogue.h"

extern const GUID kLayeredProviderGuid;  // the layered entry
extern const GUID kChainProviderGuid;    // the three chains, installed together
extern const wchar_t kFilterLibraryPath[];  // as given to the catalogue
extern const char kFilterLibraryFile[];     // the same name, looked for in the system directories

// The catalogue the operations below work on; null restores the platform's.
// Answers the one used before.
ICatalogue* SetCatalogue(ICatalogue* catalogue);
ICatalogue* GetCatalogue();

// Where the diagnostics go: each call gets one formatted text. Null restores
// the default, standard output. Answers the one used before.
typedef void (*ProviderPrintFn)(const char* text);
ProviderPrintFn SetProviderPrint(ProviderPrintFn print);

// Installs nothing unless the filter library is in the system directory (and,
// on 64-bit Windows, the 32-bit one in the 32-bit system directory). Where
// the system has two catalogues the entries go into both; entries found in
// one of them only are taken out first, so that both get them.
void InstallFilterProvider();
// Removes the entries from every catalogue of the system.
void RemoveFilterProvider();
// True when a catalogue of the system still holds one of the entries, or
// cannot be read (it may then): their library must stay while they do.
bool FilterProviderPresent();

// Takes a fresh snapshot of a catalogue (the previous one is released).
bool EnumerateCatalogue(CatalogueKind kind = kNativeCatalogue);
// The current snapshot; null with *count 0 when there is none.
const WSAPROTOCOL_INFOW* CatalogueSnapshot(int* count);
void ReleaseCatalogueSnapshot();

// Planning, over plain records.

enum BaseKind { kBaseRaw, kBaseTcp, kBaseUdp, kBaseKinds };

struct BaseEntries {
  bool found[kBaseKinds];
  DWORD id[kBaseKinds];
  WSAPROTOCOL_INFOW record[kBaseKinds];  // working copies, XP1_IFS_HANDLES cleared
};

// The first IPv4 record for raw IP (protocol 0), TCP (6) and UDP (17), each
// picked independently in catalogue order; layered entries (chain length 0)
// are passed over, base providers and chains of any length are taken.
void PickBaseEntries(const WSAPROTOCOL_INFOW* records, int count, BaseEntries* bases);

// The layered entry made from the raw base: named "Layered IP", chain length 0.
void MakeLayeredEntry(const WSAPROTOCOL_INFOW& rawBase, WSAPROTOCOL_INFOW* entry);

// Puts baseName in place of the pattern's %s. When the result would not fit
// WSAPROTOCOL_LEN characters the base name is shortened, so the pattern's
// own text stays whole. out holds WSAPROTOCOL_LEN + 1 characters.
void ComposeChainName(const wchar_t* pattern, const wchar_t* baseName, wchar_t* out);

// The chain entry leading through layeredId to base: the layered id in front
// of the base's chain (or of the base itself when it is a base provider).
// False, leaving *entry unspecified, when the base's chain has no room for
// one more entry or is not a chain at all (a layered entry).
bool MakeChainEntry(const WSAPROTOCOL_INFOW& base, DWORD baseId, DWORD layeredId,
                    const wchar_t* namePattern, WSAPROTOCOL_INFOW* entry);

// The chain entries for every base found, in the order TCP, UDP, raw; a base
// that cannot take a chain is left out with a printed line. Answers the count.
int MakeChainEntries(const BaseEntries& bases, DWORD layeredId, WSAPROTOCOL_INFOW entries[3]);

// The catalogue id of the first record installed under providerId.
bool FindProviderEntry(const WSAPROTOCOL_INFOW* records, int count, const GUID& providerId,
                       DWORD* id);

// The new order: this system's own entries first, then all others, each
// group in its present order. ids holds count entries; answers the count.
int ComposeProviderOrder(const WSAPROTOCOL_INFOW* records, int count, DWORD* ids);
