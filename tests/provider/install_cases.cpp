#include "install_cases.h"

#include <cwchar>

const std::vector<InstallCase> kInstallCases = {
    {"three base providers",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       Bases b = AddUsualProviders(sim, kind);
       return Expected{{{L"Layered TCP/IP over [MSAFD Tcpip [TCP/IP]]", IPPROTO_TCP, {b.tcp}},
                        {L"Layered UDP/IP over [MSAFD Tcpip [UDP/IP]]", IPPROTO_UDP, {b.udp}},
                        {L"Layered RAW/IP over [MSAFD Tcpip [RAW/IP]]", 0, {b.raw}}},
                       {}};
     }},
    {"another layered chain first for TCP",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       Bases b = AddUsualProviders(sim, kind);
       DWORD chain = AddForeignTcpChainFirst(sim, b.tcp, 2, L"Other over [TCP]", kind);
       const WSAPROTOCOL_INFOW* r = sim.FindById(chain, kind);
       return Expected{
           {{L"Layered TCP/IP over [Other over [TCP]]", IPPROTO_TCP,
             {r->ProtocolChain.ChainEntries[0], b.tcp}},
            {L"Layered UDP/IP over [MSAFD Tcpip [UDP/IP]]", IPPROTO_UDP, {b.udp}},
            {L"Layered RAW/IP over [MSAFD Tcpip [RAW/IP]]", 0, {b.raw}}},
           {}};
     }},
    {"another product's layered entry first for TCP",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       Bases b = AddUsualProviders(sim, kind);
       AddForeignLayeredFirst(sim, b.tcp, kind);
       return Expected{{{L"Layered TCP/IP over [MSAFD Tcpip [TCP/IP]]", IPPROTO_TCP, {b.tcp}},
                        {L"Layered UDP/IP over [MSAFD Tcpip [UDP/IP]]", IPPROTO_UDP, {b.udp}},
                        {L"Layered RAW/IP over [MSAFD Tcpip [RAW/IP]]", 0, {b.raw}}},
                       {}};
     }},
    {"layered entries first for every protocol, with a chain behind one",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       Bases b = AddUsualProviders(sim, kind);
       AddForeignLayeredFirst(sim, b.raw, kind);
       DWORD chain = AddForeignTcpChainFirst(sim, b.tcp, 2, L"Other over [TCP]", kind);
       AddForeignLayeredFirst(sim, b.udp, kind);
       AddForeignLayeredFirst(sim, b.tcp, kind);
       const WSAPROTOCOL_INFOW* r = sim.FindById(chain, kind);
       return Expected{
           {{L"Layered TCP/IP over [Other over [TCP]]", IPPROTO_TCP,
             {r->ProtocolChain.ChainEntries[0], b.tcp}},
            {L"Layered UDP/IP over [MSAFD Tcpip [UDP/IP]]", IPPROTO_UDP, {b.udp}},
            {L"Layered RAW/IP over [MSAFD Tcpip [RAW/IP]]", 0, {b.raw}}},
           {}};
     }},
    {"a chain of six first for TCP takes the seventh place",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       Bases b = AddUsualProviders(sim, kind);
       DWORD chain = AddForeignTcpChainFirst(sim, b.tcp, 6, L"Six", kind);
       const WSAPROTOCOL_INFOW* r = sim.FindById(chain, kind);
       const DWORD* e = r->ProtocolChain.ChainEntries;
       return Expected{{{L"Layered TCP/IP over [Six]", IPPROTO_TCP, {e[0], e[1], e[2], e[3], e[4], b.tcp}},
                        {L"Layered UDP/IP over [MSAFD Tcpip [UDP/IP]]", IPPROTO_UDP, {b.udp}},
                        {L"Layered RAW/IP over [MSAFD Tcpip [RAW/IP]]", 0, {b.raw}}},
                       {}};
     }},
    {"a full chain of seven first for TCP is skipped",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       Bases b = AddUsualProviders(sim, kind);
       DWORD chain = AddForeignTcpChainFirst(sim, b.tcp, MAX_PROTOCOL_CHAIN, L"Seven", kind);
       return Expected{{{L"Layered UDP/IP over [MSAFD Tcpip [UDP/IP]]", IPPROTO_UDP, {b.udp}},
                        {L"Layered RAW/IP over [MSAFD Tcpip [RAW/IP]]", 0, {b.raw}}},
                       {"Chain over catalogue entry " + std::to_string(chain) +
                        " skipped: chain length 7\n"}};
     }},
    {"no UDP provider leaves that chain out",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       DWORD raw = sim.AddBaseProvider(L"RAW", AF_INET, 0, SOCK_RAW, kRawFlags, kind);
       DWORD tcp = sim.AddBaseProvider(L"TCP", AF_INET, IPPROTO_TCP, SOCK_STREAM, kTcpFlags, kind);
       return Expected{{{L"Layered TCP/IP over [TCP]", IPPROTO_TCP, {tcp}},
                        {L"Layered RAW/IP over [RAW]", 0, {raw}}},
                       {}};
     }},
    {"raw provider alone",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       DWORD raw = sim.AddBaseProvider(L"RAW", AF_INET, 0, SOCK_RAW, kRawFlags, kind);
       return Expected{{{L"Layered RAW/IP over [RAW]", 0, {raw}}}, {}};
     }},
    {"a very long base name is cut to fit",
     [](CSimCatalogue& sim, CatalogueKind kind) {
       std::wstring longName(WSAPROTOCOL_LEN, L'x');
       DWORD raw = sim.AddBaseProvider(longName.c_str(), AF_INET, 0, SOCK_RAW, kRawFlags, kind);
       std::wstring cut = L"Layered RAW/IP over [" +
                          std::wstring(WSAPROTOCOL_LEN - wcslen(L"Layered RAW/IP over []"), L'x') + L"]";
       return Expected{{{cut, 0, {raw}}}, {}};
     }},
};


void ExpectInstalled(const CSimCatalogue& sim, CatalogueKind kind,
                     const std::vector<WSAPROTOCOL_INFOW>& before, const Expected& expected) {
  const std::vector<WSAPROTOCOL_INFOW>& after = sim.Records(kind);
  const size_t own = 1 + expected.chains.size();
  ASSERT_EQ(before.size() + own, after.size());

  const WSAPROTOCOL_INFOW& layered = after[0];
  EXPECT_TRUE(IsUnder(layered, kLayeredProviderGuid));
  EXPECT_EQ(L"Layered IP", NameOf(layered));
  EXPECT_EQ(LAYERED_PROTOCOL, layered.ProtocolChain.ChainLen);
  EXPECT_EQ(AF_INET, layered.iAddressFamily);
  EXPECT_EQ(0, layered.iProtocol);
  EXPECT_EQ(SOCK_RAW, layered.iSocketType);
  EXPECT_EQ(kRawFlags & ~kIfs, layered.dwServiceFlags1);
  EXPECT_EQ(L"Quorvane.dll", sim.PathOf(layered.dwCatalogEntryId, kind));

  for (size_t i = 0; i < expected.chains.size(); ++i) {
    SCOPED_TRACE(i);
    const WSAPROTOCOL_INFOW& chain = after[1 + i];
    const ExpectedChain& want = expected.chains[i];
    EXPECT_TRUE(IsUnder(chain, kChainProviderGuid));
    EXPECT_EQ(want.name, NameOf(chain));
    EXPECT_EQ(want.protocol, chain.iProtocol);
    EXPECT_EQ(AF_INET, chain.iAddressFamily);
    EXPECT_EQ(0u, chain.dwServiceFlags1 & kIfs);
    EXPECT_NE(0u, chain.dwServiceFlags1);  // the other flags are kept
    std::vector<DWORD> chainWanted{layered.dwCatalogEntryId};
    chainWanted.insert(chainWanted.end(), want.tail.begin(), want.tail.end());
    EXPECT_EQ(chainWanted, ChainOf(chain));
    EXPECT_EQ(L"Quorvane.dll", sim.PathOf(chain.dwCatalogEntryId, kind));
  }

  const std::vector<WSAPROTOCOL_INFOW> rest(after.begin() + own, after.end());
  EXPECT_TRUE(SameRecords(before, rest));
}

size_t CountUnder(const CSimCatalogue& sim, CatalogueKind kind, const GUID& g) {
  size_t n = 0;
  for (const auto& r : sim.Records(kind))
    if (IsUnder(r, g)) ++n;
  return n;
}

void ExpectChainsLeadWithin(const CSimCatalogue& sim, CatalogueKind kind) {
  DWORD layeredId = 0;
  const auto& records = sim.Records(kind);
  ASSERT_TRUE(FindProviderEntry(records.data(), static_cast<int>(records.size()), kLayeredProviderGuid,
                                &layeredId));
  for (const auto& r : records) {
    if (!IsUnder(r, kChainProviderGuid)) continue;
    const std::vector<DWORD> chain = ChainOf(r);
    ASSERT_GE(chain.size(), 2u);
    EXPECT_EQ(layeredId, chain[0]);
    for (size_t k = 1; k < chain.size(); ++k) EXPECT_NE(nullptr, sim.FindById(chain[k], kind)) << chain[k];
    const WSAPROTOCOL_INFOW* base = sim.FindById(chain.back(), kind);
    if (!base) continue;
    EXPECT_EQ(BASE_PROTOCOL, base->ProtocolChain.ChainLen);
    EXPECT_EQ(r.iProtocol, base->iProtocol);
    EXPECT_EQ(r.iAddressFamily, base->iAddressFamily);
  }
}
