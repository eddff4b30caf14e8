// The program-name hash table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/globals.h"
#include "settings/nametable.h"

namespace {

char* Dup(const char* s) {
  char* p = static_cast<char*>(malloc(strlen(s) + 1));
  strcpy(p, s);
  return p;
}

std::vector<std::string> Keys(const CNameTable& t) {
  std::vector<std::string> keys;
  for (CNameTable::Position pos = t.GetFirst(); pos;) {
    const char* key = nullptr;
    pos = t.GetNext(pos, &key, nullptr);
    keys.push_back(key);
  }
  return keys;
}

TEST(NameTableHash, SignedBytesAndBuckets) {
  struct Case { const char* key; uint32_t hash; uint32_t bucket; } cases[] = {
      {"abc", 108966u, 422u},
      {"\xC4\xE3", 4294965287u, 39u},  // unsigned bytes would give bucket 551
      {"", 0u, 0u},
      {"a", 97u, 97u},
      {" A", 1121u, 97u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(CNameTable::HashKey(c.key), c.hash);
    EXPECT_EQ(CNameTable::HashKey(c.key) % 1024u, c.bucket);
  }
}

TEST(NameTable, NoBucketsIsSafe) {
  CNameTable t;
  EXPECT_FALSE(t.Lookup("abc"));
  EXPECT_EQ(t.GetFirst(), nullptr);
  EXPECT_FALSE(t.Insert("abc", nullptr));
  EXPECT_EQ(t.GetCount(), 0);
}

TEST(NameTable, InsertAndLookup) {
  CNameTable t;
  t.InitBuckets(1024);
  EXPECT_TRUE(t.Insert("QQ", Dup("C:\\qq.exe")));
  EXPECT_TRUE(t.Insert("\xCC\xDA\xD1\xB6QQ", Dup("C:\\tx.exe")));
  EXPECT_TRUE(t.Insert("nothing", nullptr));  // a value may be absent
  EXPECT_EQ(t.GetCount(), 3);

  void* v = nullptr;
  ASSERT_TRUE(t.Lookup("QQ", &v));
  EXPECT_STREQ(static_cast<char*>(v), "C:\\qq.exe");
  ASSERT_TRUE(t.Lookup("nothing", &v));
  EXPECT_EQ(v, nullptr);
  EXPECT_FALSE(t.Lookup("qq"));  // exact, case-sensitive
  EXPECT_FALSE(t.Lookup("Q"));

  // The key is the table's own copy.
  char key[] = "Temp";
  EXPECT_TRUE(t.Insert(key, nullptr));
  key[0] = 'X';
  EXPECT_TRUE(t.Lookup("Temp"));
}

TEST(NameTable, DuplicateInsertKeepsTheFirstValue) {
  CNameTable t;
  t.InitBuckets(1024);
  ASSERT_TRUE(t.Insert("abc", Dup("first")));
  char* second = Dup("second");
  EXPECT_FALSE(t.Insert("abc", second));
  free(second);  // still the caller's
  void* v = nullptr;
  ASSERT_TRUE(t.Lookup("abc", &v));
  EXPECT_STREQ(static_cast<char*>(v), "first");
  EXPECT_EQ(t.GetCount(), 1);
}

TEST(NameTable, IterationIsByBucketThenNewestFirst) {
  CNameTable t;
  t.InitBuckets(1024);
  for (const char* k : {"abc", "a", "\xC4\xE3", " A"}) ASSERT_TRUE(t.Insert(k, nullptr));
  // Buckets 39, 97 (" A" after "a", so first), 422.
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"\xC4\xE3", " A", "a", "abc"}));

  CNameTable one;
  one.InitBuckets(1);
  for (const char* k : {"x", "y", "z"}) ASSERT_TRUE(one.Insert(k, nullptr));
  EXPECT_EQ(Keys(one), (std::vector<std::string>{"z", "y", "x"}));
}

TEST(NameTable, GetNextHandsOutValues) {
  CNameTable t;
  t.InitBuckets(8);
  ASSERT_TRUE(t.Insert("k", Dup("v")));
  CNameTable::Position pos = t.GetFirst();
  ASSERT_NE(pos, nullptr);
  const char* key = nullptr;
  void* value = nullptr;
  EXPECT_EQ(t.GetNext(pos, &key, &value), nullptr);
  EXPECT_STREQ(key, "k");
  EXPECT_STREQ(static_cast<char*>(value), "v");
}

TEST(NameTable, RemoveAllEmptiesAndDropsBuckets) {
  CNameTable t;
  t.InitBuckets(1024);
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(t.Insert(std::to_string(i).c_str(), Dup("p")));
  EXPECT_EQ(t.GetCount(), 3000);
  EXPECT_EQ(Keys(t).size(), 3000u);
  t.RemoveAll();
  EXPECT_EQ(t.GetCount(), 0);
  EXPECT_EQ(t.GetBucketCount(), 0u);
  EXPECT_FALSE(t.Lookup("7"));
  EXPECT_EQ(t.GetFirst(), nullptr);
  t.InitBuckets(1024);  // ready again
  EXPECT_TRUE(t.Insert("7", nullptr));
}

TEST(NameTable, InitBucketsOnAFilledTableStartsOver) {
  CNameTable t;
  t.InitBuckets(4);
  ASSERT_TRUE(t.Insert("a", Dup("1")));
  t.InitBuckets(1024);
  EXPECT_EQ(t.GetCount(), 0);
  EXPECT_FALSE(t.Lookup("a"));
  EXPECT_EQ(t.GetBucketCount(), 1024u);
}

TEST(ProcessGlobals, StartEmptyAndClear) {
  EXPECT_EQ(g_installedPrograms.GetCount(), 0);
  EXPECT_EQ(g_installedPrograms.GetBucketCount(), 0u);
  EXPECT_EQ(g_chosenPrograms.GetBucketCount(), 0u);
  EXPECT_FALSE(g_bSettingsChanged);
  EXPECT_FALSE(g_bPromptOpen);
}

}  // namespace
