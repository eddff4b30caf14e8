// Installing and removing the filter's entries against the simulated catalogue.
#include <cstdio>
#include <cwchar>
#include <functional>

#include "install_cases.h"

namespace {

class InstallTest : public CatalogueTest, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallTest, PutsLayeredEntryAndChainsFirstAndKeepsTheRestInOrder) {
  const Expected expected = GetParam().build(m_sim, kNativeCatalogue);
  const std::vector<WSAPROTOCOL_INFOW> before = m_sim.Records();

  InstallFilterProvider();

  ExpectInstalled(m_sim, kNativeCatalogue, before, expected);
  const size_t after = m_sim.Records().size();

  std::vector<std::string> lines{Found(before.size()), Found(before.size() + 1)};
  lines.insert(lines.end(), expected.skipLines.begin(), expected.skipLines.end());
  lines.push_back(Found(after));
  EXPECT_EQ(lines, g_printed);
  EXPECT_EQ(0, m_sim.m_wow32Calls);  // a system with one catalogue only
  EXPECT_TRUE(m_sim.Records(kWow32Catalogue).empty());
}

INSTANTIATE_TEST_SUITE_P(Catalogues, InstallTest, ::testing::ValuesIn(kInstallCases),
                         [](const ::testing::TestParamInfo<InstallCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST_F(CatalogueTest, SecondInstallationChangesNothing) {
  AddUsualProviders(m_sim);
  InstallFilterProvider();
  const std::vector<WSAPROTOCOL_INFOW> once = m_sim.Records();
  const int orders = m_sim.m_orderCalls;
  g_printed.clear();

  InstallFilterProvider();

  EXPECT_TRUE(SameRecords(once, m_sim.Records()));
  EXPECT_EQ(orders, m_sim.m_orderCalls);
  char failed[64];
  std::snprintf(failed, sizeof failed, "WSCInstallProvider failed %d\n", WSAEINVAL);
  EXPECT_EQ((std::vector<std::string>{Found(once.size()), failed}), g_printed);
}

// Catalogues in which the layered entry has no template.
struct NoTemplateCase {
  const char* what;
  std::function<void(CSimCatalogue&)> build;
  std::vector<std::string> lines;
};

const char kNothingInstalled[] = "No raw IPv4 provider found; nothing installed\n";

const NoTemplateCase kNoTemplateCases[] = {
    {"TCP only",
     [](CSimCatalogue& sim) { sim.AddBaseProvider(L"TCP", AF_INET, IPPROTO_TCP, SOCK_STREAM, kTcpFlags); },
     {"Found 1 protocols\n", kNothingInstalled}},
    {"raw IP for IPv6 only",
     [](CSimCatalogue& sim) {
       sim.AddBaseProvider(L"RAW6", AF_INET6, 0, SOCK_RAW, kRawFlags);
       sim.AddBaseProvider(L"UDP", AF_INET, IPPROTO_UDP, SOCK_DGRAM, kUdpFlags);
     },
     {"Found 2 protocols\n", kNothingInstalled}},
    {"empty catalogue", [](CSimCatalogue&) {}, {"Found 0 protocols\n", kNothingInstalled}},
    {"size query fails",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       sim.m_firstEnumError = WSAEFAULT;
     },
     {"First WSCEnumProtocols failed 10014\n", kNothingInstalled}},
    {"enumeration fails",
     [](CSimCatalogue& sim) {
       AddUsualProviders(sim);
       sim.m_secondEnumError = WSAEFAULT;
     },
     {"Second WSCEnumProtocols failed 10014\n", kNothingInstalled}},
};

class NoTemplateTest : public CatalogueTest, public ::testing::WithParamInterface<NoTemplateCase> {};

TEST_P(NoTemplateTest, InstallsNothingAndSaysSo) {
  GetParam().build(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> before = m_sim.Records();

  InstallFilterProvider();

  EXPECT_TRUE(SameRecords(before, m_sim.Records()));
  EXPECT_EQ(0, m_sim.m_installCalls);
  EXPECT_EQ(0, m_sim.m_orderCalls);
  EXPECT_EQ(GetParam().lines, g_printed);
}

INSTANTIATE_TEST_SUITE_P(Catalogues, NoTemplateTest, ::testing::ValuesIn(kNoTemplateCases),
                         [](const ::testing::TestParamInfo<NoTemplateCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// Failures after the layered entry is in: each stops where it happens.
struct FailureCase {
  const char* what;
  std::function<void(CSimCatalogue&)> inject;
  bool chainsInstalled;
  int installCalls;
  std::string lastLine;
};

const FailureCase kFailureCases[] = {
    {"layered entry not found again",
     [](CSimCatalogue& sim) {
       sim.m_hideProvider = true;
       sim.m_hiddenProvider = kLayeredProviderGuid;
     },
     false, 1, "Layered entry not found after installing it; no chains installed\n"},
    {"chain installation refused",
     [](CSimCatalogue& sim) {
       sim.m_installError = WSAEACCES;
       sim.m_installFailingCall = 2;
     },
     false, 2, "WSCInstallProvider for protocol chain failed 10013\n"},
    {"order refused",
     [](CSimCatalogue& sim) { sim.m_orderError = ERROR_ACCESS_DENIED; },
     true, 2, "WSCWriteProviderOrder failed 5\n"},
};

class FailureTest : public CatalogueTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, StopsAndLeavesWhatIsInstalledAtTheEnd) {
  AddUsualProviders(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> before = m_sim.Records();
  GetParam().inject(m_sim);

  InstallFilterProvider();

  const std::vector<WSAPROTOCOL_INFOW>& after = m_sim.Records();
  const size_t added = GetParam().chainsInstalled ? 4 : 1;
  ASSERT_EQ(before.size() + added, after.size());
  EXPECT_TRUE(SameRecords(before, std::vector<WSAPROTOCOL_INFOW>(after.begin(), after.begin() + before.size())));
  EXPECT_TRUE(IsUnder(after[before.size()], kLayeredProviderGuid));
  for (size_t i = before.size() + 1; i < after.size(); ++i) EXPECT_TRUE(IsUnder(after[i], kChainProviderGuid));
  EXPECT_EQ(GetParam().installCalls, m_sim.m_installCalls);
  ASSERT_FALSE(g_printed.empty());
  EXPECT_EQ(GetParam().lastLine, g_printed.back());
  EXPECT_EQ(0, m_sim.m_wow32Calls);
}

INSTANTIATE_TEST_SUITE_P(Faults, FailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST_F(CatalogueTest, RemovalWhenNothingInstalledSaysSoTwiceAndChangesNothing) {
  AddUsualProviders(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> before = m_sim.Records();

  RemoveFilterProvider();

  EXPECT_TRUE(SameRecords(before, m_sim.Records()));
  EXPECT_EQ((std::vector<std::string>{"WSCDeistallProvider for Layer failed 10022\n",
                                      "WSCDeistallProvider for Chain failed 10022\n"}),
            g_printed);
}

TEST_F(CatalogueTest, RemovalAfterInstallationRemovesEverythingOfOurs) {
  AddUsualProviders(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> before = m_sim.Records();
  InstallFilterProvider();
  g_printed.clear();

  RemoveFilterProvider();

  EXPECT_TRUE(SameRecords(before, m_sim.Records()));
  EXPECT_TRUE(g_printed.empty());
  EXPECT_EQ(0, m_sim.m_wow32Calls);
}

TEST_F(CatalogueTest, RemovalAfterFailedChainsTakesTheLayeredEntryAndSaysChainsWereMissing) {
  AddUsualProviders(m_sim);
  const std::vector<WSAPROTOCOL_INFOW> before = m_sim.Records();
  m_sim.m_installError = WSAEACCES;
  m_sim.m_installFailingCall = 2;
  InstallFilterProvider();
  g_printed.clear();

  RemoveFilterProvider();

  EXPECT_TRUE(SameRecords(before, m_sim.Records()));
  EXPECT_EQ((std::vector<std::string>{"WSCDeistallProvider for Chain failed 10022\n"}), g_printed);
}

TEST_F(CatalogueTest, ReinstallationAfterRemovalPutsTheEntriesFirstAgain) {
  AddUsualProviders(m_sim);
  InstallFilterProvider();
  RemoveFilterProvider();
  InstallFilterProvider();

  const std::vector<WSAPROTOCOL_INFOW>& after = m_sim.Records();
  ASSERT_GE(after.size(), 4u);
  EXPECT_TRUE(IsUnder(after[0], kLayeredProviderGuid));
  for (int i = 1; i < 4; ++i) {
    EXPECT_TRUE(IsUnder(after[i], kChainProviderGuid));
    EXPECT_EQ(after[0].dwCatalogEntryId, after[i].ProtocolChain.ChainEntries[0]);
  }
}

}  // namespace
