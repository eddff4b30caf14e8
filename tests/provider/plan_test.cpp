// The planning functions over plain records, the snapshot, the simulated
// catalogue itself, and the platform's catalogue under Wine.
#include <cstring>
#include <cwchar>

#include "provider/realcatalogue.h"
#include "provider_test_util.h"

namespace {

WSAPROTOCOL_INFOW Record(DWORD id, int family, int protocol, int chainLen, const wchar_t* name) {
  WSAPROTOCOL_INFOW r;
  std::memset(&r, 0, sizeof r);
  r.dwCatalogEntryId = id;
  r.iAddressFamily = family;
  r.iProtocol = protocol;
  r.ProtocolChain.ChainLen = chainLen;
  for (int i = 0; i < chainLen && i < MAX_PROTOCOL_CHAIN; ++i) r.ProtocolChain.ChainEntries[i] = 100 + i;
  if (chainLen == BASE_PROTOCOL) r.ProtocolChain.ChainEntries[0] = id;
  wcsncpy(r.szProtocol, name, WSAPROTOCOL_LEN);
  return r;
}

struct ChainCase {
  int baseLength;
  bool made;
  std::vector<DWORD> chain;  // with layered id 7 over base id 50
};

const ChainCase kChainCases[] = {
    {BASE_PROTOCOL, true, {7, 50}},
    {2, true, {7, 100, 101}},
    {3, true, {7, 100, 101, 102}},
    {6, true, {7, 100, 101, 102, 103, 104, 105}},
    {MAX_PROTOCOL_CHAIN, false, {}},
    {LAYERED_PROTOCOL, false, {}},  // a layered entry leads nowhere
    {-1, false, {}},
    {1000, false, {}},
};

class ChainEntryTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(ChainEntryTest, PutsTheLayeredIdInFrontOfTheBaseChain) {
  WSAPROTOCOL_INFOW base = Record(50, AF_INET, IPPROTO_TCP, GetParam().baseLength, L"Base");
  base.dwServiceFlags1 = XP1_IFS_HANDLES | XP1_GUARANTEED_ORDER;
  base.iSocketType = SOCK_STREAM;
  // Guard around the record: nothing may be written past it.
  struct {
    WSAPROTOCOL_INFOW entry;
    char guard[64];
  } out;
  std::memset(&out, 0xA5, sizeof out);

  const bool made = MakeChainEntry(base, 50, 7, L"Layered TCP/IP over [%s]", &out.entry);

  EXPECT_EQ(GetParam().made, made);
  for (char c : out.guard) ASSERT_EQ(static_cast<char>(0xA5), c);
  if (!made) return;
  EXPECT_EQ(GetParam().chain, ChainOf(out.entry));
  EXPECT_EQ(L"Layered TCP/IP over [Base]", NameOf(out.entry));
  EXPECT_EQ(static_cast<DWORD>(XP1_GUARANTEED_ORDER), out.entry.dwServiceFlags1);
  EXPECT_EQ(SOCK_STREAM, out.entry.iSocketType);
  EXPECT_EQ(IPPROTO_TCP, out.entry.iProtocol);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ChainEntryTest, ::testing::ValuesIn(kChainCases));

struct NameCase {
  std::wstring base;
  std::wstring expected;
};

const std::wstring kPrefix = L"Layered UDP/IP over [";
const size_t kRoom = WSAPROTOCOL_LEN - kPrefix.size() - 1;  // what the base name may take

const NameCase kNameCases[] = {
    {L"MSAFD Tcpip [UDP/IP]", kPrefix + L"MSAFD Tcpip [UDP/IP]]"},
    {L"", kPrefix + L"]"},
    {std::wstring(kRoom, L'a'), kPrefix + std::wstring(kRoom, L'a') + L"]"},
    {std::wstring(kRoom + 1, L'b'), kPrefix + std::wstring(kRoom, L'b') + L"]"},
    {std::wstring(WSAPROTOCOL_LEN, L'c'), kPrefix + std::wstring(kRoom, L'c') + L"]"},
};

class ChainNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ChainNameTest, FitsTheProtocolNameField) {
  wchar_t out[WSAPROTOCOL_LEN + 8];
  wmemset(out, L'#', WSAPROTOCOL_LEN + 8);
  ComposeChainName(L"Layered UDP/IP over [%s]", GetParam().base.c_str(), out);
  EXPECT_EQ(GetParam().expected, std::wstring(out));
  for (int i = WSAPROTOCOL_LEN + 1; i < WSAPROTOCOL_LEN + 8; ++i) ASSERT_EQ(L'#', out[i]);
}

INSTANTIATE_TEST_SUITE_P(Names, ChainNameTest, ::testing::ValuesIn(kNameCases));

TEST(ChainNameTest, BaseNameWithoutTerminatorIsReadNoFurtherThanItsField) {
  WSAPROTOCOL_INFOW base = Record(50, AF_INET, 0, BASE_PROTOCOL, L"");
  wmemset(base.szProtocol, L'z', WSAPROTOCOL_LEN + 1);  // no terminator at all
  WSAPROTOCOL_INFOW entry;
  ASSERT_TRUE(MakeChainEntry(base, 50, 7, L"Layered RAW/IP over [%s]", &entry));
  EXPECT_EQ(L"Layered RAW/IP over [" + std::wstring(WSAPROTOCOL_LEN - 22, L'z') + L"]", NameOf(entry));
}

TEST(PickBaseEntriesTest, TakesTheFirstIpv4MatchOfEachKindIndependently) {
  const WSAPROTOCOL_INFOW records[] = {
      Record(1, AF_INET6, IPPROTO_TCP, 1, L"tcp6"),
      Record(2, AF_INET, IPPROTO_UDP, 3, L"udp chain"),  // someone's chain is taken as it is
      Record(3, AF_INET, IPPROTO_TCP, 1, L"tcp"),
      Record(4, AF_INET, IPPROTO_UDP, 1, L"udp"),
      Record(5, AF_INET6, 0, 1, L"raw6"),
      Record(6, AF_INET, 0, 1, L"raw"),
      Record(7, AF_INET, IPPROTO_TCP, 1, L"tcp again"),
      Record(8, AF_INET, 0, 1, L"raw again"),
  };
  BaseEntries bases;
  PickBaseEntries(records, 8, &bases);
  const DWORD ids[kBaseKinds] = {6, 3, 2};
  const wchar_t* names[kBaseKinds] = {L"raw", L"tcp", L"udp chain"};
  for (int k = 0; k < kBaseKinds; ++k) {
    SCOPED_TRACE(k);
    EXPECT_TRUE(bases.found[k]);
    EXPECT_EQ(ids[k], bases.id[k]);
    EXPECT_EQ(names[k], NameOf(bases.record[k]));
  }
}

// Layered entries standing before the providers are passed over.
struct PickCase {
  const char* what;
  std::vector<WSAPROTOCOL_INFOW> records;
  DWORD ids[kBaseKinds];  // raw, TCP, UDP; 0 = none found
};

const PickCase kPickCases[] = {
    {"layered TCP first",
     {Record(1, AF_INET, IPPROTO_TCP, LAYERED_PROTOCOL, L"lsp"), Record(2, AF_INET, IPPROTO_TCP, 1, L"tcp"),
      Record(3, AF_INET, IPPROTO_UDP, 1, L"udp"), Record(4, AF_INET, 0, 1, L"raw")},
     {4, 2, 3}},
    {"layered raw first: the template comes from the provider",
     {Record(1, AF_INET, 0, LAYERED_PROTOCOL, L"lsp"), Record(2, AF_INET, 0, 1, L"raw")},
     {2, 0, 0}},
    {"layered entries of every protocol first, a chain behind one",
     {Record(1, AF_INET, IPPROTO_UDP, LAYERED_PROTOCOL, L"l1"), Record(2, AF_INET, 0, LAYERED_PROTOCOL, L"l2"),
      Record(3, AF_INET, IPPROTO_TCP, LAYERED_PROTOCOL, L"l3"), Record(4, AF_INET, IPPROTO_TCP, 2, L"chain"),
      Record(5, AF_INET, IPPROTO_TCP, 1, L"tcp"), Record(6, AF_INET, IPPROTO_UDP, 1, L"udp"),
      Record(7, AF_INET, 0, 1, L"raw")},
     {7, 4, 6}},
    {"a layered entry and nothing else for UDP",
     {Record(1, AF_INET, IPPROTO_UDP, LAYERED_PROTOCOL, L"lsp"), Record(2, AF_INET, 0, 1, L"raw")},
     {2, 0, 0}},
    {"a malformed negative length counts as no provider",
     {Record(1, AF_INET, IPPROTO_TCP, -1, L"bad"), Record(2, AF_INET, IPPROTO_TCP, 1, L"tcp")},
     {0, 2, 0}},
    {"a full chain first is still the base (and is skipped later)",
     {Record(1, AF_INET, IPPROTO_TCP, MAX_PROTOCOL_CHAIN, L"seven"), Record(2, AF_INET, IPPROTO_TCP, 1, L"tcp")},
     {0, 1, 0}},
};

void PrintTo(const PickCase& c, std::ostream* os) { *os << c.what; }

class PickLayeredTest : public ::testing::TestWithParam<PickCase> {};

TEST_P(PickLayeredTest, TakesTheFirstRecordThatIsNotALayeredEntry) {
  const PickCase& c = GetParam();
  BaseEntries bases;
  PickBaseEntries(c.records.data(), static_cast<int>(c.records.size()), &bases);
  for (int k = 0; k < kBaseKinds; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(c.ids[k] != 0, bases.found[k]);
    if (c.ids[k] != 0) {
      EXPECT_EQ(c.ids[k], bases.id[k]);
      EXPECT_EQ(c.ids[k], bases.record[k].dwCatalogEntryId);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogues, PickLayeredTest, ::testing::ValuesIn(kPickCases),
                         [](const ::testing::TestParamInfo<PickCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST(PickBaseEntriesTest, ClearsIfsHandlesInTheCopiesOnly) {
  WSAPROTOCOL_INFOW records[] = {Record(6, AF_INET, 0, 1, L"raw")};
  records[0].dwServiceFlags1 = XP1_IFS_HANDLES | XP1_CONNECTIONLESS;
  BaseEntries bases;
  PickBaseEntries(records, 1, &bases);
  EXPECT_EQ(static_cast<DWORD>(XP1_CONNECTIONLESS), bases.record[kBaseRaw].dwServiceFlags1);
  EXPECT_EQ(static_cast<DWORD>(XP1_IFS_HANDLES | XP1_CONNECTIONLESS), records[0].dwServiceFlags1);
  EXPECT_FALSE(bases.found[kBaseTcp]);
  EXPECT_FALSE(bases.found[kBaseUdp]);

  WSAPROTOCOL_INFOW layered;
  MakeLayeredEntry(records[0], &layered);
  EXPECT_EQ(static_cast<DWORD>(XP1_CONNECTIONLESS), layered.dwServiceFlags1);
  EXPECT_EQ(LAYERED_PROTOCOL, layered.ProtocolChain.ChainLen);
  EXPECT_EQ(L"Layered IP", NameOf(layered));
}

TEST(ProviderOrderTest, PutsOwnEntriesFirstAndKeepsBothGroupsInOrder) {
  WSAPROTOCOL_INFOW records[] = {
      Record(11, AF_INET, 6, 1, L"a"), Record(12, AF_INET, 0, 0, L"own layered"),
      Record(13, AF_INET, 17, 1, L"b"), Record(14, AF_INET, 6, 2, L"own tcp"),
      Record(15, AF_INET, 0, 1, L"c"), Record(16, AF_INET, 0, 2, L"own raw"),
  };
  records[1].ProviderId = kLayeredProviderGuid;
  records[3].ProviderId = kChainProviderGuid;
  records[5].ProviderId = kChainProviderGuid;
  DWORD ids[6] = {};
  ASSERT_EQ(6, ComposeProviderOrder(records, 6, ids));
  EXPECT_EQ((std::vector<DWORD>{12, 14, 16, 11, 13, 15}), std::vector<DWORD>(ids, ids + 6));

  DWORD layeredId = 0;
  EXPECT_TRUE(FindProviderEntry(records, 6, kLayeredProviderGuid, &layeredId));
  EXPECT_EQ(12u, layeredId);
  EXPECT_FALSE(FindProviderEntry(records, 1, kLayeredProviderGuid, &layeredId));
}

TEST_F(CatalogueTest, SnapshotHoldsEveryRecordInCatalogueOrder) {
  m_sim.AddBaseProvider(L"one", AF_INET, 6, SOCK_STREAM, 0);
  m_sim.AddBaseProvider(L"two", AF_INET, 17, SOCK_DGRAM, 0);
  ASSERT_TRUE(EnumerateCatalogue());
  int count = 0;
  const WSAPROTOCOL_INFOW* records = CatalogueSnapshot(&count);
  ASSERT_EQ(2, count);
  EXPECT_TRUE(SameRecords(m_sim.Records(), std::vector<WSAPROTOCOL_INFOW>(records, records + count)));
  EXPECT_EQ((std::vector<std::string>{"Found 2 protocols\n"}), g_printed);
}

TEST_F(CatalogueTest, FailedSnapshotHoldsNoRecords) {
  struct {
    int first, second;
    const char* line;
  } cases[] = {{WSAEFAULT, 0, "First WSCEnumProtocols failed 10014\n"},
               {0, WSAEINVAL, "Second WSCEnumProtocols failed 10022\n"}};
  m_sim.AddBaseProvider(L"one", AF_INET, 6, SOCK_STREAM, 0);
  for (const auto& c : cases) {
    ASSERT_TRUE(EnumerateCatalogue());  // a good snapshot first, which must not survive
    g_printed.clear();
    m_sim.m_firstEnumError = c.first;
    m_sim.m_secondEnumError = c.second;
    EXPECT_FALSE(EnumerateCatalogue());
    int count = -1;
    EXPECT_EQ(nullptr, CatalogueSnapshot(&count));
    EXPECT_EQ(0, count);
    EXPECT_EQ((std::vector<std::string>{c.line}), g_printed);
    m_sim.m_firstEnumError = m_sim.m_secondEnumError = 0;
  }
}

// The simulation has to refuse what the platform refuses, or the tests above prove little.
TEST_F(CatalogueTest, SimulationRefusesWhatThePlatformRefuses) {
  const DWORD a = m_sim.AddBaseProvider(L"a", AF_INET, 6, SOCK_STREAM, 0);
  const DWORD b = m_sim.AddBaseProvider(L"b", AF_INET, 17, SOCK_DGRAM, 0);
  WSAPROTOCOL_INFOW r = *m_sim.FindById(a);
  int error = 0;
  ASSERT_EQ(0, m_sim.InstallProvider(false, kChainProviderGuid, L"x.dll", &r, 1, &error));
  const DWORD c = m_sim.Records().back().dwCatalogEntryId;
  EXPECT_GT(c, b);

  EXPECT_EQ(SOCKET_ERROR, m_sim.InstallProvider(false, kChainProviderGuid, L"x.dll", &r, 1, &error));
  EXPECT_EQ(WSAEINVAL, error);
  r.ProtocolChain.ChainLen = MAX_PROTOCOL_CHAIN + 1;
  EXPECT_EQ(SOCKET_ERROR, m_sim.InstallProvider(false, kLayeredProviderGuid, L"x.dll", &r, 1, &error));

  const std::vector<std::vector<DWORD>> badOrders = {{a, b}, {a, b, b}, {a, b, c, c}, {a, b, 999}};
  for (const auto& order : badOrders)
    EXPECT_NE(0, m_sim.WriteProviderOrder(kNativeCatalogue, order.data(), static_cast<DWORD>(order.size())));
  EXPECT_EQ((std::vector<DWORD>{a, b, c}), m_sim.Ids());
  const std::vector<DWORD> good = {c, a, b};
  EXPECT_EQ(0, m_sim.WriteProviderOrder(kNativeCatalogue, good.data(), 3));
  EXPECT_EQ(good, m_sim.Ids());

  EXPECT_EQ(0, m_sim.DeinstallProvider(kNativeCatalogue, kChainProviderGuid, &error));
  EXPECT_EQ((std::vector<DWORD>{a, b}), m_sim.Ids());
  EXPECT_EQ(SOCKET_ERROR, m_sim.DeinstallProvider(kNativeCatalogue, kChainProviderGuid, &error));
}

// Wine's catalogue functions are stubs: this only shows the calls are wired and survive.
TEST_F(CatalogueTest, PlatformCatalogueRunsWithoutCrashing) {
  SetCatalogue(nullptr);
  InstallFilterProvider();
  RemoveFilterProvider();
  EXPECT_TRUE(EnumerateCatalogue());
  int count = 0;
  const WSAPROTOCOL_INFOW* records = CatalogueSnapshot(&count);
  EXPECT_GT(count, 0);
  std::vector<DWORD> ids;
  for (int i = 0; i < count; ++i) ids.push_back(records[i].dwCatalogEntryId);
  CRealCatalogue real;
  // Writing the present order back changes nothing; it shows the order function was found.
  EXPECT_EQ(0, real.WriteProviderOrder(kNativeCatalogue, ids.data(), static_cast<DWORD>(ids.size())));
  for (const auto& line : g_printed) printf("  %s", line.c_str());
}

}  // namespace
