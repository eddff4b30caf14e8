// Catalogues to install into, each with what the installation must leave in
// it; shared by the tests of one catalogue and of two.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "catalogue_fixtures.h"

struct ExpectedChain {
  std::wstring name;
  int protocol;
  std::vector<DWORD> tail;  // the chain after the layered id
};

struct Expected {
  std::vector<ExpectedChain> chains;  // in catalogue order
  std::vector<std::string> skipLines;
};

struct InstallCase {
  const char* what;
  // Fills the given catalogue and answers, in its ids, what must follow.
  std::function<Expected(CSimCatalogue&, CatalogueKind)> build;
};

extern const std::vector<InstallCase> kInstallCases;

// The catalogue begins with the layered entry and the expected chains, all
// under this system's GUIDs and library, and then holds before unchanged.
void ExpectInstalled(const CSimCatalogue& sim, CatalogueKind kind,
                     const std::vector<WSAPROTOCOL_INFOW>& before, const Expected& expected);

// How many entries of a catalogue stand under the GUID.
size_t CountUnder(const CSimCatalogue& sim, CatalogueKind kind, const GUID& g);

// Every chain of the catalogue starts at that catalogue's layered entry and
// ends at one of its base providers for the same protocol.
void ExpectChainsLeadWithin(const CSimCatalogue& sim, CatalogueKind kind);
