// The visual-styles library comes from the system directory only.
#include <gtest/gtest.h>

#include "controls/themehelperst.h"
#include "plantedlibrary.h"

namespace {

TEST(ThemeHelperLoadTest, TakesTheSystemsLibraryAndNeverAPlantedOne) {
  PlantedLibraries planted({"uxtheme.dll", "mgplanted-theme.dll"});
  ASSERT_TRUE(planted.ok());
  {
    CThemeHelperSt plantedOnly("mgplanted-theme.dll");
    EXPECT_FALSE(plantedOnly.IsLoaded());
    CThemeHelperSt system;
    EXPECT_TRUE(system.IsLoaded());
    EXPECT_FALSE(planted.AnyLoaded());
  }
  HMODULE uxtheme = ::GetModuleHandleA("uxtheme.dll");
  if (uxtheme) {
    EXPECT_TRUE(PlantedLibraries::FromSystemDirectory(reinterpret_cast<const void*>(uxtheme)));
  }
}

}  // namespace
