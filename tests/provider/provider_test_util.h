// Shared set-up for the catalogue tests: a simulated catalogue made current
// and the diagnostics collected instead of printed.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "provider/filterprovider.h"
#include "provider/simcatalogue.h"

extern std::vector<std::string> g_printed;

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  CSimCatalogue m_sim;
  ICatalogue* m_previousCatalogue = nullptr;
  ProviderPrintFn m_previousPrint = nullptr;
};

bool SameRecords(const std::vector<WSAPROTOCOL_INFOW>& a, const std::vector<WSAPROTOCOL_INFOW>& b);
bool IsUnder(const WSAPROTOCOL_INFOW& r, const GUID& g);
std::vector<DWORD> ChainOf(const WSAPROTOCOL_INFOW& r);
std::wstring NameOf(const WSAPROTOCOL_INFOW& r);
