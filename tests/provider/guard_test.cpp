// Installation only where the filter library lies, in every catalogue's system directory.
#include <string>

#include "catalogue_fixtures.h"
#include "provider/realcatalogue.h"

namespace {

struct GuardCase {
  bool wow32;
  bool library[2];
  const char* line;  // the one line printed; null when installed
};

const GuardCase kGuardCases[] = {
    {false, {false, true}, "Quorvane.dll is not in the system directory; nothing installed\n"},
    {true, {false, true}, "Quorvane.dll is not in the system directory; nothing installed\n"},
    {true, {false, false}, "Quorvane.dll is not in the system directory; nothing installed\n"},
    {true, {true, false}, "Quorvane.dll is not in the 32-bit system directory; nothing installed\n"},
    {false, {true, false}, nullptr},
    {true, {true, true}, nullptr},
};

class GuardTest : public CatalogueTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(GuardTest, InstallsOnlyWhereTheLibraryIs) {
  const GuardCase& c = GetParam();
  m_sim.m_hasWow32 = c.wow32;
  m_sim.m_hasLibrary[0] = c.library[0];
  m_sim.m_hasLibrary[1] = c.library[1];
  AddUsualProviders(m_sim);
  if (c.wow32) AddUsualProviders(m_sim, kWow32Catalogue);
  const std::vector<WSAPROTOCOL_INFOW> native = m_sim.Records();
  const std::vector<WSAPROTOCOL_INFOW> wow32 = m_sim.Records(kWow32Catalogue);

  InstallFilterProvider();

  for (const std::string& name : m_sim.m_libraryQueries) EXPECT_EQ("Quorvane.dll", name);
  if (c.line) {
    EXPECT_EQ(std::vector<std::string>{c.line}, g_printed);
    EXPECT_TRUE(SameRecords(native, m_sim.Records()));
    EXPECT_TRUE(SameRecords(wow32, m_sim.Records(kWow32Catalogue)));
    EXPECT_EQ(0, m_sim.m_installCalls);
  } else {
    EXPECT_EQ(native.size() + 4, m_sim.Records().size());
    EXPECT_TRUE(IsUnder(m_sim.Records()[0], kLayeredProviderGuid));
    if (c.wow32) {
      EXPECT_EQ(wow32.size() + 4, m_sim.Records(kWow32Catalogue).size());
      EXPECT_TRUE(IsUnder(m_sim.Records(kWow32Catalogue)[0], kLayeredProviderGuid));
    }
  }
  // Where there is no 32-bit catalogue its library is not asked for either.
  if (!c.wow32) {
    EXPECT_EQ(0, m_sim.m_wow32Calls);
    EXPECT_TRUE(m_sim.Records(kWow32Catalogue).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, GuardTest, ::testing::ValuesIn(kGuardCases));

// The platform's check, against what the system directories hold under Wine.
struct LibraryCase {
  std::string name;
  bool there;
};

const LibraryCase kLibraryCases[] = {
    {"ws2_32.dll", true},
    {"WS2_32.DLL", true},
    {"mossgrave-none.dll", false},
    {"drivers", false},  // a folder, not a library
    {"", false},
    {std::string(MAX_PATH, 'a') + ".dll", false},
};

class RealLibraryTest : public ::testing::TestWithParam<LibraryCase> {};

TEST_P(RealLibraryTest, FindsOnlyALibraryInThatSystemDirectory) {
  CRealCatalogue real;
  char dir[MAX_PATH];
  const bool wow64 = GetSystemWow64DirectoryA(dir, MAX_PATH) != 0;
  EXPECT_EQ(GetParam().there, real.HasLibrary(kNativeCatalogue, GetParam().name.c_str()));
  EXPECT_EQ(GetParam().there && wow64, real.HasLibrary(kWow32Catalogue, GetParam().name.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Names, RealLibraryTest, ::testing::ValuesIn(kLibraryCases));

}  // namespace
