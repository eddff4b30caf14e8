// Tests of the store run against the prefix's real settings paths; each test
// starts and ends with neither file present.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "settings/settingsfile.h"
#include "testutil.h"

inline std::string MainPath() {
  char p[kPathSize] = {};
  EXPECT_TRUE(GetMainSettingsPath(p));
  return p;
}

inline std::string BackupPath() {
  char p[kPathSize] = {};
  EXPECT_TRUE(GetBackupSettingsPath(p));
  return p;
}

class SettingsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    DeleteSettingsFiles();
    ASSERT_FALSE(FileIsThere(MainPath()));
    ASSERT_FALSE(FileIsThere(BackupPath()));
  }
  // Stores text as the main file (and as the backup when asked).
  static void StoreMain(const std::string& text) {
    ASSERT_TRUE(WriteSettingsFile(MainPath().c_str(), text.c_str()));
  }
  static void StoreBackup(const std::string& text) {
    ASSERT_TRUE(WriteSettingsFile(BackupPath().c_str(), text.c_str()));
  }
  // Reads the main file as the accessors do.
  static bool ReadMain(std::string* text) {
    std::string buf(kSettingsCapacity, '\0');
    if (!ReadSettingsFile(MainPath().c_str(), &buf[0], buf.size())) return false;
    *text = buf.c_str();
    return true;
  }
};
