// The settings record: accessors, password rewrite, the default file.
#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/msgbox.h"
#include "settings/globals.h"
#include "settings/passwordcheck.h"
#include "settings/settings.h"
#include "settingsfixture.h"

namespace {

const char kDefaultText[] =
    "Password:480273\r\n"
    "Enable log:0\r\n"
    "Log save time:3\r\n"
    "Enable adult filter:0\r\n"
    "Adult filter degree:1\r\n"
    "Flash Window filter:0\r\n"
    "Open Window filter:0\r\n"
    "Port list:\r\n"
    "Enable program filter:0\r\n"
    "Program filter type:0\r\n"
    "Program list:\r\n"
    "Enable time limit:0\r\n"
    "MonStartTime:00:00:00\r\n"
    "MonEndTime:23:59:59\r\n"
    "TueStartTime:00:00:00\r\n"
    "TueEndTime:23:59:59\r\n"
    "WedStartTime:00:00:00\r\n"
    "WedEndTime:23:59:59\r\n"
    "ThuStartTime:00:00:00\r\n"
    "ThuEndTime:23:59:59\r\n"
    "FriStartTime:00:00:00\r\n"
    "FriEndTime:23:59:59\r\n"
    "SatStartTime:00:00:00\r\n"
    "SatEndTime:23:59:59\r\n"
    "SunStartTime:00:00:00\r\n"
    "SunEndTime:23:59:59\r\n";

struct Box {
  std::string text, caption;
  UINT type;
};

class RecordTest : public SettingsFilesTest {
 protected:
  void SetUp() override {
    SettingsFilesTest::SetUp();
    SetMessageBoxHook([this](const char* text, const char* caption, UINT type) {
      boxes.push_back({text, caption, type});
      return IDOK;
    });
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    g_chosenPrograms.RemoveAll();
    SettingsFilesTest::TearDown();
  }
  std::vector<Box> boxes;
};

TEST_F(RecordTest, EnsureCreatesTheDefaultFileAndTellsThePasswordOnce) {
  EnsureSettingsFile();
  std::string text;
  ASSERT_TRUE(ReadMain(&text));
  EXPECT_EQ(text, kDefaultText);
  EXPECT_EQ(ReadFileBytes(BackupPath()), ReadFileBytes(MainPath()));
  ASSERT_EQ(boxes.size(), 1u);
  // The bytes themselves, not a literal built the same way: the text must be GBK.
  EXPECT_EQ(boxes[0].text, "\xB3\xF5\xCA\xBC\xC3\xDC\xC2\xEB\xCA\xC7" "480273");  // 初始密码是480273
  EXPECT_EQ(boxes[0].caption, "Halvenor");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));

  EnsureSettingsFile();  // now present: nothing more
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(RecordTest, EnsureRestoresFromTheBackupSilently) {
  StoreBackup("Password:fromBackup\r\n");
  EnsureSettingsFile();
  EXPECT_EQ(ReadFileBytes(MainPath()), ReadFileBytes(BackupPath()));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RecordTest, EnsureLeavesAnExistingMainFileAlone) {
  ASSERT_TRUE(WriteFileBytes(MainPath(), "not even a settings file"));
  EnsureSettingsFile();
  EXPECT_EQ(ReadFileBytes(MainPath()), "not even a settings file");
  EXPECT_FALSE(FileIsThere(BackupPath()));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RecordTest, MissingFileGivesDefaults) {
  char pw[kValueSize] = "untouched";
  EXPECT_FALSE(GetPassword(pw));
  EXPECT_STREQ(pw, "untouched");
  EXPECT_FALSE(IsLogEnabled());
  EXPECT_EQ(GetLogSaveDays(), 0);
  EXPECT_FALSE(IsAdultFilterEnabled());
  EXPECT_EQ(GetAdultFilterDegree(), 0);
  EXPECT_FALSE(IsFlashFilterEnabled());
  EXPECT_FALSE(IsPopupFilterEnabled());
  EXPECT_FALSE(IsWebVideoFilterEnabled());
  EXPECT_FALSE(IsProgramFilterEnabled());
  EXPECT_FALSE(IsProgramAllowList());
  EXPECT_FALSE(IsTimeLimitEnabled());
  int h = 9, m = 9, s = 9;
  EXPECT_FALSE(GetDayTime("MonEndTime:", h, m, s));
  EXPECT_EQ(h * 10000 + m * 100 + s, 0);
  EXPECT_FALSE(IsTalkToolLimited("qq.exe"));
  g_chosenPrograms.InitBuckets(1024);
  LoadListedProgramNames();
  EXPECT_EQ(g_chosenPrograms.GetCount(), 0);
}

TEST_F(RecordTest, DefaultFileValues) {
  StoreMain(kDefaultText);
  char pw[kValueSize] = {};
  ASSERT_TRUE(GetPassword(pw));
  EXPECT_STREQ(pw, "480273");
  EXPECT_EQ(GetAdultFilterDegree(), 1);
  EXPECT_EQ(GetLogSaveDays(), 3);
  EXPECT_FALSE(IsWebVideoFilterEnabled());
  EXPECT_FALSE(IsProgramAllowList());
  int h, m, s;
  ASSERT_TRUE(GetDayTime("MonEndTime:", h, m, s));
  EXPECT_EQ(std::vector<int>({h, m, s}), std::vector<int>({23, 59, 59}));
  ASSERT_TRUE(GetDayTime("SunStartTime:", h, m, s));
  EXPECT_EQ(std::vector<int>({h, m, s}), std::vector<int>({0, 0, 0}));
}

// One accessor, one text, one expected answer.
struct FlagCase {
  const char* name;
  bool (*accessor)();
  std::string text;
  bool expected;
};

TEST_F(RecordTest, FlagAccessors) {
  const FlagCase cases[] = {
      {"allow list 1", IsProgramAllowList, "Program filter type:1\r\n", true},
      {"allow list 0", IsProgramAllowList, "Program filter type:0\r\n", false},
      {"log 1", IsLogEnabled, "Enable log:1\r\n", true},
      {"log 1 without CR LF at the end", IsLogEnabled, "Password:x\r\nEnable log:1", false},
      {"only the first char counts", IsAdultFilterEnabled, "Enable adult filter:10\r\n", true},
      {"2 is not 1", IsAdultFilterEnabled, "Enable adult filter:2\r\n", false},
      {"empty value", IsFlashFilterEnabled, "Flash Window filter:\r\n", false},
      {"popup", IsPopupFilterEnabled, "Open Window filter:1\r\n", true},
      {"video", IsWebVideoFilterEnabled, "Web Video filter:1\r\n", true},
      {"program filter", IsProgramFilterEnabled, "Enable program filter:1\r\n", true},
      {"keys are case-sensitive", IsLogEnabled, "enable log:1\r\n", false},
      {"first occurrence wins, even inside a value", IsTimeLimitEnabled,
       "program path:C:\\Enable time limit:1\r\nEnable time limit:0\r\n", true},
      {"first occurrence wins, the other way", IsTimeLimitEnabled,
       "program path:C:\\Enable time limit:0\r\nEnable time limit:1\r\n", false},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.name);
    StoreMain(c.text);
    EXPECT_EQ(c.accessor(), c.expected);
  }
}

TEST_F(RecordTest, NumberAndDigitAccessors) {
  struct Case { const char* name; int (*accessor)(); std::string text; int expected; } cases[] = {
      {"days 12", GetLogSaveDays, "Log save time:12\r\n", 12},
      {"days empty", GetLogSaveDays, "Log save time:\r\n", 0},
      {"days atoi rules", GetLogSaveDays, "Log save time: 7 days\r\n", 7},
      {"days huge saturates", GetLogSaveDays, "Log save time:" + std::string(300, '9') + "\r\n",
       2147483647},
      {"degree 3", GetAdultFilterDegree, "Adult filter degree:3\r\n", 3},
      {"degree first char only", GetAdultFilterDegree, "Adult filter degree:23\r\n", 2},
      {"degree non-digit", GetAdultFilterDegree, "Adult filter degree:x\r\n", 0},
      {"degree key missing", GetAdultFilterDegree, "Password:1\r\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StoreMain(c.text);
    EXPECT_EQ(c.accessor(), c.expected);
  }
}

TEST_F(RecordTest, DayTimes) {
  struct Case { const char* name; std::string text; bool found; int h, m, s; } cases[] = {
      {"full", "TueStartTime:07:08:09\r\n", true, 7, 8, 9},
      {"hour only", "TueStartTime:1\r\n", true, 1, 0, 0},
      {"short minute", "TueStartTime:12:3\r\n", true, 12, 3, 0},
      {"empty", "TueStartTime:\r\n", true, 0, 0, 0},
      {"over-long value cut", "TueStartTime:21:22:23" + std::string(400, '5') + "\r\n", true, 21,
       22, 23},
      {"missing", "TueEndTime:10:11:12\r\n", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreMain(c.text);
    int h = -1, m = -1, s = -1;
    EXPECT_EQ(GetDayTime("TueStartTime:", h, m, s), c.found);
    EXPECT_EQ(std::vector<int>({h, m, s}), std::vector<int>({c.h, c.m, c.s}));
  }
}

TEST_F(RecordTest, TalkToolPresence) {
  StoreMain("Password:1\r\nTalk limit name:sinauc.exe\r\nEnable time limit:0\r\nTalk limit name:qq.exe");
  struct Case { const char* exe; bool limited; } cases[] = {
      {"sinauc.exe", true}, {"aim.exe", false}, {"qq.exe", true},  // no line end needed
      {"icq.exe", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    EXPECT_EQ(IsTalkToolLimited(c.exe), c.limited);
  }
}

TEST_F(RecordTest, PasswordValues) {
  struct Case { const char* name; std::string text; bool found; std::string expected; } cases[] = {
      {"plain", "Enable log:0\r\nPassword:s3cret\r\n", true, "s3cret"},
      {"empty is a valid password", "Password:\r\n", true, ""},
      {"chinese", "Password:\xC3\xDC\xC2\xEB\r\n", true, "\xC3\xDC\xC2\xEB"},
      {"cut at 255 bytes", "Password:" + std::string(300, 'p') + "\r\n", true, std::string(255, 'p')},
      {"no line end", "Password:abc", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreMain(c.text);
    // Guard bytes around the 256-byte buffer catch an overrun.
    char area[kValueSize + 16];
    memset(area, 'G', sizeof area);
    char* pw = area + 8;
    EXPECT_EQ(GetPassword(pw), c.found);
    if (c.found) {
      EXPECT_EQ(std::string(pw), c.expected);
    }
    EXPECT_EQ(std::string(area, 8), "GGGGGGGG");
    EXPECT_EQ(std::string(area + 8 + kValueSize, 8), "GGGGGGGG");
  }
}

TEST_F(RecordTest, PasswordForSaveNeverEmptyBecauseOfAnUnreadableFile) {
  char pw[kValueSize] = {};
  GetPasswordForSave(pw);  // no file
  EXPECT_STREQ(pw, kFactoryPassword);
  EXPECT_STREQ(kFactoryPassword, "480273");
  ASSERT_TRUE(WriteFileBytes(MainPath(), "garbage bytes of a damaged file"));
  GetPasswordForSave(pw);
  EXPECT_STREQ(pw, "480273");
  StoreMain("Password:\r\n");  // a stored empty password is kept as it is
  GetPasswordForSave(pw);
  EXPECT_STREQ(pw, "");
}

TEST_F(RecordTest, SetPasswordKeepsEveryOtherLineAndTheBackup) {
  const std::string text =
      "Enable log:1\r\nPassword:old\r\nprogram name:\xB3\xCC\xD0\xF2\r\ninstall date:x\n\r\n";
  StoreMain(text);
  StoreBackup(text);
  const std::string backupBytes = ReadFileBytes(BackupPath());
  for (const char* password : {"\xD0\xC2new", ""}) {
    SCOPED_TRACE(password);
    ASSERT_TRUE(SetPassword(password));
    char pw[kValueSize] = {};
    ASSERT_TRUE(GetPassword(pw));
    EXPECT_EQ(MatchStoredPassword(password, pw), PasswordMatch::kHash) << "stored as its hash";
    std::string back;
    ASSERT_TRUE(ReadMain(&back));
    EXPECT_EQ(back, "Enable log:1\r\nPassword:" + std::string(pw) +
                        "\r\nprogram name:\xB3\xCC\xD0\xF2\r\ninstall date:x\n\r\n");
    EXPECT_EQ(ReadFileBytes(BackupPath()), backupBytes);
  }
}

TEST_F(RecordTest, SetPasswordWritesNothingWhenItCannot) {
  struct Case { const char* name; std::string text; std::string password; } cases[] = {
      {"no password line", "Enable log:1\r\n", "new"},
      {"no line end after it", "Enable log:1\r\nPassword:old", "new"},
      {"line break would add a line", "Password:old\r\n", "a\r\nEnable log:1"},
      {"lone LF", "Password:old\r\n", "a\nb"},
      {"would not read back whole", "Password:old\r\n", std::string(256, 'p')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreMain(c.text);
    const std::string before = ReadFileBytes(MainPath());
    EXPECT_FALSE(SetPassword(c.password.c_str()));
    EXPECT_EQ(ReadFileBytes(MainPath()), before);
  }
  Clear();
  EXPECT_FALSE(SetPassword("new"));  // unreadable file
  EXPECT_FALSE(FileIsThere(MainPath()));
}

TEST_F(RecordTest, LoadListedProgramNames) {
  StoreMain(std::string("Password:1\r\nProgram list:\r\n") +
            "program name:Alpha\r\nprogram path:C:\\a.exe\r\n"
            "program name:\xD3\xCE\xCF\xB7\r\nprogram path:C:\\b.exe\r\n"
            "program name:Alpha\r\nprogram path:C:\\c.exe\r\n"
            "program name:" + std::string(300, 'L') + "\r\n"
            "program name:Unterminated");
  g_chosenPrograms.InitBuckets(1024);
  LoadListedProgramNames();
  EXPECT_EQ(g_chosenPrograms.GetCount(), 3);
  EXPECT_TRUE(g_chosenPrograms.Lookup("Alpha"));
  EXPECT_TRUE(g_chosenPrograms.Lookup("\xD3\xCE\xCF\xB7"));
  EXPECT_TRUE(g_chosenPrograms.Lookup(std::string(255, 'L').c_str()));
  EXPECT_FALSE(g_chosenPrograms.Lookup("Unterminated"));
}

TEST(ProgramPaths, DirectoryAndUninstaller) {
  char module[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
  std::string expected(module);
  expected.erase(expected.rfind('\\') + 1);
  char dir[kPathSize] = {};
  ASSERT_TRUE(GetProgramDirectory(dir));
  EXPECT_EQ(std::string(dir), expected);
  char unins[kPathSize] = {};
  ASSERT_TRUE(GetUninstallerPath(unins));
  EXPECT_EQ(std::string(unins), expected + "unins000.exe");
}

}  // namespace
