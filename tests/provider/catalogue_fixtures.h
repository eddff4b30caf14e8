// Catalogue contents shared by the installation tests: the usual Windows
// providers and other products' entries standing first.
#pragma once
#include <cwchar>
#include <string>
#include <vector>

#include "provider_test_util.h"

const DWORD kIfs = XP1_IFS_HANDLES;
const DWORD kTcpFlags = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_GRACEFUL_CLOSE | kIfs;
const DWORD kUdpFlags = XP1_CONNECTIONLESS | XP1_SUPPORT_BROADCAST | kIfs;
const DWORD kRawFlags = XP1_CONNECTIONLESS | XP1_MESSAGE_ORIENTED | kIfs;
const GUID kOtherLsp = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

inline std::string Found(size_t n) { return "Found " + std::to_string(n) + " protocols\n"; }
inline std::string Found32(size_t n) {
  return "Found " + std::to_string(n) + " protocols in the 32-bit catalogue\n";
}

struct Bases {
  DWORD tcp = 0, udp = 0, raw = 0;
};

// IPv6 entries first, so picking by family is tested too.
inline Bases AddUsualProviders(CSimCatalogue& sim, CatalogueKind kind = kNativeCatalogue) {
  Bases b;
  sim.AddBaseProvider(L"MSAFD Tcpip [TCP/IPv6]", AF_INET6, IPPROTO_TCP, SOCK_STREAM, kTcpFlags, kind);
  sim.AddBaseProvider(L"MSAFD Tcpip [RAW/IPv6]", AF_INET6, 0, SOCK_RAW, kRawFlags, kind);
  b.tcp = sim.AddBaseProvider(L"MSAFD Tcpip [TCP/IP]", AF_INET, IPPROTO_TCP, SOCK_STREAM, kTcpFlags, kind);
  b.udp = sim.AddBaseProvider(L"MSAFD Tcpip [UDP/IP]", AF_INET, IPPROTO_UDP, SOCK_DGRAM, kUdpFlags, kind);
  b.raw = sim.AddBaseProvider(L"MSAFD Tcpip [RAW/IP]", AF_INET, 0, SOCK_RAW, kRawFlags, kind);
  sim.AddBaseProvider(L"MSAFD NetBIOS [\\Device\\NetBT_Tcpip]", AF_NETBIOS, 0, SOCK_SEQPACKET, 0, kind);
  return b;
}

// Another vendor's chain over TCP, of the given length, put first in the catalogue.
inline DWORD AddForeignTcpChainFirst(CSimCatalogue& sim, DWORD tcpBase, int length, const wchar_t* name,
                              CatalogueKind kind = kNativeCatalogue) {
  WSAPROTOCOL_INFOW r = *sim.FindById(tcpBase, kind);
  WSAPROTOCOL_INFOW layered = r;
  layered.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
  wcscpy(layered.szProtocol, L"Other layered");
  const DWORD layeredId = sim.AddRecord(layered, kOtherLsp, kind);
  r.ProtocolChain.ChainLen = length;
  for (int i = 0; i < length - 1; ++i) r.ProtocolChain.ChainEntries[i] = layeredId;
  r.ProtocolChain.ChainEntries[length - 1] = tcpBase;
  wcscpy(r.szProtocol, name);
  GUID chainGuid = kOtherLsp;
  chainGuid.Data1 += 1;
  const DWORD chainId = sim.AddRecord(r, chainGuid, kind);
  std::vector<DWORD> ids = sim.Ids(kind);
  ids.pop_back();
  ids.insert(ids.begin(), chainId);
  EXPECT_EQ(0, sim.WriteProviderOrder(kind, ids.data(), static_cast<DWORD>(ids.size())));
  return chainId;
}

// Another product's layered entry (chain length 0) over the given base, put
// first in the catalogue, as its installer leaves it.
inline DWORD AddForeignLayeredFirst(CSimCatalogue& sim, DWORD base, CatalogueKind kind = kNativeCatalogue) {
  WSAPROTOCOL_INFOW r = *sim.FindById(base, kind);
  r.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
  r.dwServiceFlags1 = 0;
  wcscpy(r.szProtocol, L"Other layered");
  const DWORD id = sim.AddRecord(r, kOtherLsp, kind);
  std::vector<DWORD> ids = sim.Ids(kind);
  ids.pop_back();
  ids.insert(ids.begin(), id);
  EXPECT_EQ(0, sim.WriteProviderOrder(kind, ids.data(), static_cast<DWORD>(ids.size())));
  return id;
}


// How the 32-bit catalogue's ids relate to the native one's.
enum Wow32Layout { kSameIds, kOwnIds, kOwnProviderFirst };
inline const char* const kLayoutNames[] = {"SameIds", "OwnIds", "OwnProviderFirst"};

// Gives the system its 32-bit catalogue, laid out as asked, before anything is added.
inline void PrepareWow32(CSimCatalogue& sim, Wow32Layout layout) {
  sim.m_hasWow32 = true;
  if (layout == kOwnIds) {
    // Entries that came and went leave the ids further on.
    const GUID gone = {0x0badf00d, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    WSAPROTOCOL_INFOW record{};
    record.ProtocolChain.ChainLen = BASE_PROTOCOL;
    for (int i = 0; i < 7; ++i) sim.AddRecord(record, gone, kWow32Catalogue);
    int error = 0;
    EXPECT_EQ(0, sim.DeinstallProvider(kWow32Catalogue, gone, &error));
  } else if (layout == kOwnProviderFirst) {
    sim.AddBaseProvider(L"MSAFD Irda [IrDA]", AF_IRDA, 1, SOCK_STREAM, kTcpFlags, kWow32Catalogue);
  }
}

inline bool IsOwn(const WSAPROTOCOL_INFOW& r) {
  return IsUnder(r, kLayeredProviderGuid) || IsUnder(r, kChainProviderGuid);
}

inline std::vector<WSAPROTOCOL_INFOW> WithoutOwn(const std::vector<WSAPROTOCOL_INFOW>& records) {
  std::vector<WSAPROTOCOL_INFOW> rest;
  for (const auto& r : records)
    if (!IsOwn(r)) rest.push_back(r);
  return rest;
}
