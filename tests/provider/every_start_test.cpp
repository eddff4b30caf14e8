// The installation runs at every start of the program: the catalogues keep
// one set of our entries however often it runs, and a system with one
// catalogue never hears of a second.
#include <functional>

#include "install_cases.h"

namespace {

struct StartCase {
  const char* what;
  bool wow32;
  Wow32Layout layout;
  std::function<void(CSimCatalogue&)> providers;
  std::function<void(CSimCatalogue&)> history;  // what happened before the starts
  size_t chains[2];                             // of ours in each catalogue from the first start on
  const char* wow32Line;                        // what reading the 32-bit catalogue prints, if not its count
};

void UsualInBoth(CSimCatalogue& sim) {
  AddUsualProviders(sim);
  if (sim.m_hasWow32) AddUsualProviders(sim, kWow32Catalogue);
}

void Nothing(CSimCatalogue&) {}

void InstalledAndRemoved(CSimCatalogue&) {
  InstallFilterProvider();
  RemoveFilterProvider();
}

// Installed while the system had one catalogue (as an earlier version did).
void InstalledIntoNativeOnly(CSimCatalogue& sim) {
  sim.m_hasWow32 = false;
  InstallFilterProvider();
  sim.m_hasWow32 = true;
}

const StartCase kStartCases[] = {
    {"one catalogue", false, kSameIds, UsualInBoth, Nothing, {3, 0}, nullptr},
    {"one catalogue, installed and removed before", false, kSameIds, UsualInBoth, InstalledAndRemoved, {3, 0},
     nullptr},
    {"two catalogues with the same ids", true, kSameIds, UsualInBoth, Nothing, {3, 3}, nullptr},
    {"two catalogues with ids of their own", true, kOwnIds, UsualInBoth, Nothing, {3, 3}, nullptr},
    {"two catalogues, installed and removed before", true, kOwnIds, UsualInBoth, InstalledAndRemoved, {3, 3},
     nullptr},
    {"a 32-bit catalogue the chains do not fit", true, kSameIds,
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       sim.AddBaseProvider(L"RAW", AF_INET, 0, SOCK_RAW, kRawFlags, kWow32Catalogue);
     },
     Nothing, {3, 0}, nullptr},
    {"a 32-bit catalogue that cannot be read", true, kOwnIds,
     [](CSimCatalogue& sim) {
       UsualInBoth(sim);
       sim.m_wow32EnumError = WSAEFAULT;
     },
     Nothing, {3, 0}, "First WSCEnumProtocols32 failed 10014\n"},
    {"chains refused at the first start", true, kOwnIds, UsualInBoth,
     [](CSimCatalogue& sim) {
       sim.m_installError = WSAEACCES;
       sim.m_installFailingCall = 2;  // the first start's chains
     },
     {0, 0}, nullptr},
    {"installed into the native catalogue only", true, kOwnIds, UsualInBoth, InstalledIntoNativeOnly, {3, 3},
     nullptr},
    {"installed into the native catalogue only, its chains refused", true, kOwnIds, UsualInBoth,
     [](CSimCatalogue& sim) {
       sim.m_installError = WSAEACCES;
       sim.m_installFailingCall = 2;
       InstalledIntoNativeOnly(sim);
       sim.m_installError = 0;
     },
     {3, 3}, nullptr},
    {"our entries left in the 32-bit catalogue only", true, kOwnIds, UsualInBoth,
     [](CSimCatalogue& sim) {
       InstallFilterProvider();
       int error = 0;
       EXPECT_EQ(0, sim.DeinstallProvider(kNativeCatalogue, kLayeredProviderGuid, &error));
       EXPECT_EQ(0, sim.DeinstallProvider(kNativeCatalogue, kChainProviderGuid, &error));
     },
     {3, 3}, nullptr},
};

class EveryStartTest : public CatalogueTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(EveryStartTest, LeavesOneSetOfEntriesPerCatalogue) {
  const StartCase& c = GetParam();
  if (c.wow32) PrepareWow32(m_sim, c.layout);
  c.providers(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> nativeProviders = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32Providers = m_sim.Records(kWow32Catalogue);
  c.history(m_sim);

  InstallFilterProvider();
  const std::vector<WSAPROTOCOL_INFOW> native = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32 = m_sim.Records(kWow32Catalogue);
  const int wow32Calls = m_sim.m_wow32Calls;
  EXPECT_TRUE(SameRecords(nativeProviders, WithoutOwn(native)));
  EXPECT_TRUE(SameRecords(wow32Providers, WithoutOwn(wow32)));
  for (CatalogueKind kind : {kNativeCatalogue, kWow32Catalogue}) {
    if (c.chains[kind] == 0) continue;
    SCOPED_TRACE(kind);
    ExpectChainsLeadWithin(m_sim, kind);
    for (size_t i = 0; i <= c.chains[kind]; ++i) EXPECT_TRUE(IsOwn(m_sim.Records(kind)[i])) << i;
  }

  for (int start = 2; start <= 4; ++start) {
    SCOPED_TRACE(start);
    g_printed.clear();
    InstallFilterProvider();

    EXPECT_EQ(1u, CountUnder(m_sim, kNativeCatalogue, kLayeredProviderGuid));
    EXPECT_EQ(c.chains[kNativeCatalogue], CountUnder(m_sim, kNativeCatalogue, kChainProviderGuid));
    EXPECT_EQ(c.wow32 ? 1u : 0u, CountUnder(m_sim, kWow32Catalogue, kLayeredProviderGuid));
    EXPECT_EQ(c.chains[kWow32Catalogue], CountUnder(m_sim, kWow32Catalogue, kChainProviderGuid));
    EXPECT_TRUE(SameRecords(native, m_sim.Records()));
    EXPECT_TRUE(SameRecords(wow32, m_sim.Records(kWow32Catalogue)));
    std::vector<std::string> lines{Found(native.size())};
    if (c.wow32) lines.push_back(c.wow32Line ? c.wow32Line : Found32(wow32.size()));
    lines.push_back("WSCInstallProvider failed 10022\n");
    EXPECT_EQ(lines, g_printed);
  }
  if (!c.wow32) {
    EXPECT_EQ(0, wow32Calls + m_sim.m_wow32Calls);
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, EveryStartTest, ::testing::ValuesIn(kStartCases),
                         [](const ::testing::TestParamInfo<StartCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// On a system with one catalogue nothing is asked of a 32-bit one, whatever happens.
struct OneCatalogueCase {
  const char* what;
  std::function<void(CSimCatalogue&)> run;
};

const OneCatalogueCase kOneCatalogueCases[] = {
    {"install", [](CSimCatalogue&) { InstallFilterProvider(); }},
    {"install twice",
     [](CSimCatalogue&) {
       InstallFilterProvider();
       InstallFilterProvider();
     }},
    {"remove with nothing installed", [](CSimCatalogue&) { RemoveFilterProvider(); }},
    {"install and remove",
     [](CSimCatalogue&) {
       InstallFilterProvider();
       RemoveFilterProvider();
     }},
    {"install without the library",
     [](CSimCatalogue& sim) {
       sim.m_hasLibrary[kNativeCatalogue] = false;
       InstallFilterProvider();
     }},
    {"install with the chains refused",
     [](CSimCatalogue& sim) {
       sim.m_installError = WSAEACCES;
       sim.m_installFailingCall = 2;
       InstallFilterProvider();
     }},
    {"install with the order refused",
     [](CSimCatalogue& sim) {
       sim.m_orderError = ERROR_ACCESS_DENIED;
       InstallFilterProvider();
     }},
    {"install with the layered entry not found again",
     [](CSimCatalogue& sim) {
       sim.m_hideProvider = true;
       sim.m_hiddenProvider = kLayeredProviderGuid;
       InstallFilterProvider();
     }},
};

class OneCatalogueTest : public CatalogueTest, public ::testing::WithParamInterface<OneCatalogueCase> {};

TEST_P(OneCatalogueTest, MakesNo32BitCall) {
  AddUsualProviders(m_sim);
  GetParam().run(m_sim);

  EXPECT_EQ(0, m_sim.m_wow32Calls);
  EXPECT_TRUE(m_sim.Records(kWow32Catalogue).empty());
  for (const std::string& line : g_printed) {
    EXPECT_EQ(std::string::npos, line.find("32 ")) << line;
    EXPECT_EQ(std::string::npos, line.find("32-bit")) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, OneCatalogueTest, ::testing::ValuesIn(kOneCatalogueCases),
                         [](const ::testing::TestParamInfo<OneCatalogueCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

}  // namespace
