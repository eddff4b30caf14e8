// Installation only where the filter library lies, in every catalogue's system directory.
#include "catalogue_fixtures.h"

namespace {

struct GuardCase {
  bool wow32;
  bool library[2];
  const char* line;  // the one line printed; null when installed
};

const GuardCase kGuardCases[] = {
    {false, {false, true}, "Quorvane.dll is not in the system directory; nothing installed\n"},
    {true, {false, true}, "Quorvane.dll is not in the system directory; nothing installed\n"},
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
  const size_t before = m_sim.Records().size();

  InstallFilterProvider();

  const size_t added = c.line ? 0 : 4;
  EXPECT_EQ(before + added, m_sim.Records().size());
  EXPECT_EQ(c.wow32 ? before + added : 0, m_sim.Records(kWow32Catalogue).size());
  if (c.line) {
    EXPECT_EQ(std::vector<std::string>{c.line}, g_printed);
    EXPECT_EQ(0, m_sim.m_installCalls);
  } else {
    EXPECT_TRUE(IsUnder(m_sim.Records()[0], kLayeredProviderGuid));
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, GuardTest, ::testing::ValuesIn(kGuardCases));

}  // namespace
