#include "provider_test_util.h"

#include <cstring>
#include <cwchar>

std::vector<std::string> g_printed;

namespace {
void Collect(const char* text) { g_printed.push_back(text); }
}  // namespace

void CatalogueTest::SetUp() {
  g_printed.clear();
  m_previousCatalogue = SetCatalogue(&m_sim);
  m_previousPrint = SetProviderPrint(Collect);
}

void CatalogueTest::TearDown() {
  ReleaseCatalogueSnapshot();
  SetCatalogue(m_previousCatalogue);
  SetProviderPrint(m_previousPrint);
}

bool SameRecords(const std::vector<WSAPROTOCOL_INFOW>& a, const std::vector<WSAPROTOCOL_INFOW>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(WSAPROTOCOL_INFOW)) == 0);
}

bool IsUnder(const WSAPROTOCOL_INFOW& r, const GUID& g) {
  return std::memcmp(&r.ProviderId, &g, sizeof g) == 0;
}

std::vector<DWORD> ChainOf(const WSAPROTOCOL_INFOW& r) {
  std::vector<DWORD> chain;
  for (int i = 0; i < r.ProtocolChain.ChainLen && i < MAX_PROTOCOL_CHAIN; ++i)
    chain.push_back(r.ProtocolChain.ChainEntries[i]);
  return chain;
}

std::wstring NameOf(const WSAPROTOCOL_INFOW& r) {
  return std::wstring(r.szProtocol, wcsnlen(r.szProtocol, WSAPROTOCOL_LEN + 1));
}
