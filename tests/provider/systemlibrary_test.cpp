// Libraries loaded by name come from the system directory, never from the
// program's folder or the current folder.
#include <gtest/gtest.h>

#include "framework/systemlibrary.h"
#include "plantedlibrary.h"
#include "provider/realcatalogue.h"

namespace {

const char kPlantedName[] = "mgplanted-sys.dll";

struct Loader {
  const char* what;
  HMODULE (*load)(const char*);
};

const Loader kLoaders[] = {{"search", LoadSystemLibrary}, {"full path", LoadSystemLibraryByPath}};

class SystemLibraryTest : public ::testing::TestWithParam<Loader> {};

TEST_P(SystemLibraryTest, NeverTakesAPlantedCopy) {
  PlantedLibraries planted({kPlantedName, "sporder.dll"});
  ASSERT_TRUE(planted.ok());
  for (const char* name : {kPlantedName, "sporder.dll"}) {
    SCOPED_TRACE(name);
    HMODULE module = GetParam().load(name);
    EXPECT_EQ(nullptr, module);
    if (module) ::FreeLibrary(module);
  }
  EXPECT_FALSE(planted.AnyLoaded());
}

TEST_P(SystemLibraryTest, LoadsTheSystemDirectorysCopy) {
  PlantedLibraries planted({"ws2help-none.dll"});  // the current folder moved elsewhere as well
  HMODULE module = GetParam().load("ws2_32.dll");
  ASSERT_NE(nullptr, module);
  EXPECT_TRUE(PlantedLibraries::FromSystemDirectory(reinterpret_cast<const void*>(module)));
  ::FreeLibrary(module);
}

TEST_P(SystemLibraryTest, RefusesAnythingButABareName) {
  for (const char* name : {"", "..\\ws2_32.dll", ".\\ws2_32.dll", "C:\\windows\\system32\\ws2_32.dll",
                           "system32/ws2_32.dll", "C:ws2_32.dll"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(nullptr, GetParam().load(name));
  }
  EXPECT_EQ(nullptr, GetParam().load(nullptr));
}

INSTANTIATE_TEST_SUITE_P(Ways, SystemLibraryTest, ::testing::ValuesIn(kLoaders),
                         [](const ::testing::TestParamInfo<Loader>& info) {
                           return info.index == 0 ? std::string("Search") : std::string("FullPath");
                         });

// A planted provider-order library would run its code with administrator rights.
TEST(ProviderOrderLookupTest, IgnoresAPlantedProviderOrderLibrary) {
  PlantedLibraries planted({"sporder.dll"});
  ASSERT_TRUE(planted.ok());
  FARPROC fn = FindProviderOrderFunction("WSCWriteProviderOrder");
  EXPECT_FALSE(planted.AnyLoaded());
  ASSERT_NE(nullptr, fn);
  EXPECT_TRUE(PlantedLibraries::FromSystemDirectory(reinterpret_cast<const void*>(fn)));
}

}  // namespace
