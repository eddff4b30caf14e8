// Systems with a 32-bit catalogue beside the native one: the same entries go
// into both, each leading to its own catalogue's providers.
#include <algorithm>
#include <tuple>

#include "install_cases.h"

namespace {

// Every catalogue case, in both catalogues.
class BothCataloguesTest : public CatalogueTest,
                           public ::testing::WithParamInterface<std::tuple<InstallCase, Wow32Layout>> {};

TEST_P(BothCataloguesTest, GetTheSameEntriesEachOverItsOwnProviders) {
  const InstallCase& c = std::get<0>(GetParam());
  PrepareWow32(m_sim, std::get<1>(GetParam()));
  const Expected native = c.build(m_sim, kNativeCatalogue);
  const Expected wow32 = c.build(m_sim, kWow32Catalogue);
  const std::vector<WSAPROTOCOL_INFOW> nativeBefore = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32Before = m_sim.Records(kWow32Catalogue);

  InstallFilterProvider();

  {
    SCOPED_TRACE("native catalogue");
    ExpectInstalled(m_sim, kNativeCatalogue, nativeBefore, native);
    ExpectChainsLeadWithin(m_sim, kNativeCatalogue);
  }
  {
    SCOPED_TRACE("32-bit catalogue");
    ExpectInstalled(m_sim, kWow32Catalogue, wow32Before, wow32);
    ExpectChainsLeadWithin(m_sim, kWow32Catalogue);
  }
  std::vector<std::string> lines{Found(nativeBefore.size()), Found32(wow32Before.size()),
                                 Found(nativeBefore.size() + 1)};
  lines.insert(lines.end(), native.skipLines.begin(), native.skipLines.end());
  lines.push_back(Found32(wow32Before.size() + 1));
  lines.insert(lines.end(), wow32.skipLines.begin(), wow32.skipLines.end());
  lines.push_back(Found(m_sim.Records().size()));
  lines.push_back(Found32(m_sim.Records(kWow32Catalogue).size()));
  EXPECT_EQ(lines, g_printed);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, BothCataloguesTest,
    ::testing::Combine(::testing::ValuesIn(kInstallCases),
                       ::testing::Values(kSameIds, kOwnIds, kOwnProviderFirst)),
    [](const ::testing::TestParamInfo<std::tuple<InstallCase, Wow32Layout>>& info) {
      return "Case" + std::to_string(info.index / 3) + "_" + kLayoutNames[std::get<1>(info.param)];
    });

// What each catalogue holds of ours afterwards.
struct Outcome {
  size_t chains;  // the layered entry is always there
  bool first;     // our entries stand first; else where they were appended
};

struct TwoCatalogueCase {
  const char* what;
  std::function<void(CSimCatalogue&)> build;  // the 32-bit catalogue is there already
  Outcome native, wow32;
  const char* line;  // printed among the others; null for none in particular
};

const TwoCatalogueCase kTwoCatalogueCases[] = {
    {"no UDP provider in the 32-bit catalogue",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       sim.AddBaseProvider(L"TCP", AF_INET, IPPROTO_TCP, SOCK_STREAM, kTcpFlags, kWow32Catalogue);
       sim.AddBaseProvider(L"RAW", AF_INET, 0, SOCK_RAW, kRawFlags, kWow32Catalogue);
     },
     {3, true}, {0, true}, "Protocol chains do not fit the 32-bit catalogue; removed there\n"},
    {"no IPv4 provider in the 32-bit catalogue",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       sim.AddBaseProvider(L"TCP6", AF_INET6, IPPROTO_TCP, SOCK_STREAM, kTcpFlags, kWow32Catalogue);
     },
     {3, true}, {0, true}, "Protocol chains do not fit the 32-bit catalogue; removed there\n"},
    {"a full chain first for TCP in the 32-bit catalogue only",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       Bases b = AddUsualProviders(sim, kWow32Catalogue);
       AddForeignTcpChainFirst(sim, b.tcp, MAX_PROTOCOL_CHAIN, L"Seven", kWow32Catalogue);
     },
     {3, true}, {0, true}, "Protocol chains do not fit the 32-bit catalogue; removed there\n"},
    {"32-bit catalogue cannot be read",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_wow32EnumError = WSAEFAULT;
     },
     {3, true}, {0, false}, "Layered entry not found in the 32-bit catalogue after installing it\n"},
    {"layered entry not found again in either",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_hideProvider = true;
       sim.m_hiddenProvider = kLayeredProviderGuid;
     },
     {0, false}, {0, false}, "Layered entry not found after installing it; no chains installed\n"},
    {"layered entry not found again in the 32-bit catalogue",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_hideProvider = true;
       sim.m_hiddenProvider = kLayeredProviderGuid;
       sim.m_hiddenInBoth = false;
       sim.m_hiddenIn = kWow32Catalogue;
     },
     // Its order cannot be written either: that catalogue seems to lack an entry.
     {3, true}, {0, false}, "Protocol chains do not fit the 32-bit catalogue; removed there\n"},
    {"chain installation refused",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_installError = WSAEACCES;
       sim.m_installFailingCall = 2;
     },
     {0, false}, {0, false}, "WSCInstallProvider for protocol chain failed 10013\n"},
    {"32-bit chains cannot be updated",
     [](CSimCatalogue& sim) {
       PrepareWow32(sim, kOwnIds);
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_updateError = WSAEACCES;
     },
     {3, true}, {0, true},
     "WSCUpdateProvider32 for protocol chain failed 10013; chains removed from the 32-bit catalogue\n"},
    {"native order refused",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_orderError = ERROR_ACCESS_DENIED;
     },
     {3, false}, {3, true}, "WSCWriteProviderOrder failed 5\n"},
    {"32-bit order refused",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       AddUsualProviders(sim, kWow32Catalogue);
       sim.m_wow32OrderError = ERROR_ACCESS_DENIED;
     },
     {3, true}, {3, false}, "WSCWriteProviderOrder32 failed 5\n"},
};

void ExpectOutcome(const CSimCatalogue& sim, CatalogueKind kind, const std::vector<WSAPROTOCOL_INFOW>& before,
                   const Outcome& want) {
  const auto& after = sim.Records(kind);
  EXPECT_EQ(1u, CountUnder(sim, kind, kLayeredProviderGuid));
  EXPECT_EQ(want.chains, CountUnder(sim, kind, kChainProviderGuid));
  EXPECT_TRUE(SameRecords(before, WithoutOwn(after)));
  ExpectChainsLeadWithin(sim, kind);
  const size_t own = 1 + want.chains;
  ASSERT_EQ(before.size() + own, after.size());
  const size_t from = want.first ? 0 : before.size();
  for (size_t i = from; i < from + own; ++i) EXPECT_TRUE(IsOwn(after[i])) << i;
}

class TwoCatalogueTest : public CatalogueTest, public ::testing::WithParamInterface<TwoCatalogueCase> {};

TEST_P(TwoCatalogueTest, NeverLeavesAChainThatLeadsNowhere) {
  const TwoCatalogueCase& c = GetParam();
  m_sim.m_hasWow32 = true;
  c.build(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> nativeBefore = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32Before = m_sim.Records(kWow32Catalogue);

  InstallFilterProvider();

  {
    SCOPED_TRACE("native catalogue");
    ExpectOutcome(m_sim, kNativeCatalogue, nativeBefore, c.native);
  }
  {
    SCOPED_TRACE("32-bit catalogue");
    ExpectOutcome(m_sim, kWow32Catalogue, wow32Before, c.wow32);
  }
  EXPECT_NE(g_printed.end(), std::find(g_printed.begin(), g_printed.end(), std::string(c.line)));
}

INSTANTIATE_TEST_SUITE_P(Systems, TwoCatalogueTest, ::testing::ValuesIn(kTwoCatalogueCases),
                         [](const ::testing::TestParamInfo<TwoCatalogueCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });


// Removal reaches both catalogues, whatever an earlier installation left.
struct RemovalCase {
  const char* what;
  std::function<void(CSimCatalogue&)> history;  // after the providers are in
  bool wow32Removed;
  std::vector<std::string> lines;
  bool present = false;  // entries left (or a catalogue unreadable) after the removal
};

const RemovalCase kRemovalCases[] = {
    {"after an installation", [](CSimCatalogue&) { InstallFilterProvider(); }, true, {}},
    {"with nothing installed",
     [](CSimCatalogue&) {},
     true,
     {"WSCDeistallProvider for Layer failed 10022\n", "WSCDeistallProvider for Chain failed 10022\n",
      "WSCDeinstallProvider32 for Layer failed 10022\n", "WSCDeinstallProvider32 for Chain failed 10022\n"}},
    {"after the chains were refused",
     [](CSimCatalogue& sim) {
       sim.m_installError = WSAEACCES;
       sim.m_installFailingCall = 2;
       InstallFilterProvider();
       sim.m_installError = 0;
     },
     true,
     {"WSCDeistallProvider for Chain failed 10022\n", "WSCDeinstallProvider32 for Chain failed 10022\n"}},
    {"after the chains did not fit the 32-bit catalogue",
     [](CSimCatalogue& sim) {
       sim.m_hideProvider = true;
       sim.m_hiddenProvider = kLayeredProviderGuid;
       sim.m_hiddenInBoth = false;
       sim.m_hiddenIn = kWow32Catalogue;
       InstallFilterProvider();
       sim.m_hideProvider = false;
     },
     true,
     {"WSCDeinstallProvider32 for Chain failed 10022\n"}},
    {"when the 32-bit catalogue refuses",
     [](CSimCatalogue& sim) {
       InstallFilterProvider();
       sim.m_wow32DeinstallError = WSAEACCES;
     },
     false,
     {"WSCDeinstallProvider32 for Layer failed 10013\n", "WSCDeinstallProvider32 for Chain failed 10013\n"},
     true},
    {"then the 32-bit catalogue cannot be read",
     [](CSimCatalogue& sim) {
       InstallFilterProvider();
       sim.m_wow32EnumError = WSAENOBUFS + 1;
     },
     true,
     {},
     true},
};

class RemovalTest : public CatalogueTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTest, TakesOurEntriesOutOfBothCatalogues) {
  PrepareWow32(m_sim, kOwnIds);
  AddUsualProviders(m_sim);
  AddUsualProviders(m_sim, kWow32Catalogue);
  const std::vector<WSAPROTOCOL_INFOW> nativeBefore = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32Before = m_sim.Records(kWow32Catalogue);
  GetParam().history(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> wow32Installed = m_sim.Records(kWow32Catalogue);
  g_printed.clear();

  RemoveFilterProvider();

  EXPECT_TRUE(SameRecords(nativeBefore, m_sim.Records()));
  EXPECT_TRUE(SameRecords(GetParam().wow32Removed ? wow32Before : wow32Installed,
                          m_sim.Records(kWow32Catalogue)));
  EXPECT_EQ(GetParam().lines, g_printed);
  EXPECT_EQ(GetParam().present, FilterProviderPresent()) << "the library stays only while entries may";
}

INSTANTIATE_TEST_SUITE_P(Histories, RemovalTest, ::testing::ValuesIn(kRemovalCases),
                         [](const ::testing::TestParamInfo<RemovalCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });


// Without a template in the native catalogue neither catalogue gets anything,
// however complete the 32-bit one is.
struct NativeStateCase {
  const char* what;
  std::function<void(CSimCatalogue&)> build;
  const char* firstLine;
};

const NativeStateCase kNoTemplateCases[] = {
    {"TCP only",
     [](CSimCatalogue& sim) { sim.AddBaseProvider(L"TCP", AF_INET, IPPROTO_TCP, SOCK_STREAM, kTcpFlags); },
     "Found 1 protocols\n"},
    {"empty", [](CSimCatalogue&) {}, "Found 0 protocols\n"},
    {"unreadable",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       sim.m_secondEnumError = WSAEFAULT;
     },
     "Second WSCEnumProtocols failed 10014\n"},
};

class NoNativeTemplateTest : public CatalogueTest, public ::testing::WithParamInterface<NativeStateCase> {};

TEST_P(NoNativeTemplateTest, LeavesBothCataloguesAsTheyAre) {
  PrepareWow32(m_sim, kOwnIds);
  AddUsualProviders(m_sim, kWow32Catalogue);
  GetParam().build(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> native = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32 = m_sim.Records(kWow32Catalogue);

  InstallFilterProvider();

  EXPECT_TRUE(SameRecords(native, m_sim.Records()));
  EXPECT_TRUE(SameRecords(wow32, m_sim.Records(kWow32Catalogue)));
  EXPECT_EQ(0, m_sim.m_installCalls);
  EXPECT_EQ((std::vector<std::string>{GetParam().firstLine, "No raw IPv4 provider found; nothing installed\n"}),
            g_printed);
}

INSTANTIATE_TEST_SUITE_P(NativeCatalogues, NoNativeTemplateTest, ::testing::ValuesIn(kNoTemplateCases),
                         [](const ::testing::TestParamInfo<NativeStateCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

}  // namespace
