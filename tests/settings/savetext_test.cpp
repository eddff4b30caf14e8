// The full save's text, built from plain values.
#include <cstring>
#include <ctime>
#include <vector>

#include "settings/globals.h"
#include "settings/savetext.h"
#include "settings/settings.h"
#include "settingsfixture.h"

namespace {

std::string TimeLines(const char* start, const char* end) {
  std::string t;
  for (const char* day : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"})
    t += std::string(day) + "StartTime:" + start + "\r\n" + day + "EndTime:" + end + "\r\n";
  return t;
}

SaveValues DefaultLike() {
  SaveValues v;
  v.password = "480273";
  v.logSaveTime = "3";
  v.adultDegree = 1;
  for (int i = 0; i < kTimeKeyCount; i += 2) v.times[i + 1] = {23, 59, 59};
  v.installDate = "Mon Jan 05 08:09:10 2009\n";
  return v;
}

TEST(SaveText, DefaultLikeValues) {
  EXPECT_EQ(BuildSettingsText(DefaultLike()),
            "Password:480273\r\n"
            "Enable log:0\r\n"
            "Log save time:3\r\n"
            "Enable adult filter:0\r\n"
            "Adult filter degree:1\r\n"
            "Flash Window filter:0\r\n"
            "Open Window filter:0\r\n"
            "Web Video filter:0\r\n"
            "Enable program filter:0\r\n"
            "Program filter type:0\r\n"
            "Program list:\r\n"
            "Enable time limit:0\r\n" +
                TimeLines("00:00:00", "23:59:59") +
                "install date:Mon Jan 05 08:09:10 2009\n\r\n");
}

TEST(SaveText, FullExample) {
  SaveValues v;
  v.password = "\xC3\xDC\xC2\xEB";
  v.logEnabled = true;
  v.logSaveTime = "7";
  v.adultFilter = true;
  v.adultDegree = 3;
  v.flashFilter = true;
  v.popupFilter = false;
  v.videoFilter = true;
  v.programFilter = true;
  v.programAllowList = true;
  v.programs = {{"\xB9\xC8\xB8\xE8", "C:\\Program Files\\g\\g.exe"}, {"Tool", "D:\\t.exe"}};
  v.chatChecked[0] = true;  // ICQ
  v.chatChecked[5] = true;  // 新浪UC
  v.chatChecked[6] = true;  // Google Talk
  v.timeLimit = true;
  for (int i = 0; i < kTimeKeyCount; ++i) v.times[i] = {i, i + 1, 59 - i};
  v.installDate = "Sun Dec 31 23:59:58 2023\n";
  std::string times;
  for (int i = 0; i < kTimeKeyCount; ++i) {
    char line[64];
    snprintf(line, sizeof line, "%s%02d:%02d:%02d\r\n", kTimeKeys[i], i, i + 1, 59 - i);
    times += line;
  }
  EXPECT_EQ(BuildSettingsText(v),
            "Password:\xC3\xDC\xC2\xEB\r\n"
            "Enable log:1\r\n"
            "Log save time:7\r\n"
            "Enable adult filter:1\r\n"
            "Adult filter degree:3\r\n"
            "Flash Window filter:1\r\n"
            "Open Window filter:0\r\n"
            "Web Video filter:1\r\n"
            "Enable program filter:1\r\n"
            "Program filter type:1\r\n"
            "Program list:\r\n"
            "program name:\xB9\xC8\xB8\xE8\r\n"
            "program path:C:\\Program Files\\g\\g.exe\r\n"
            "program name:Tool\r\n"
            "program path:D:\\t.exe\r\n"
            "Talk limit name:icq.exe\r\n"
            "Talk limit name:icqlite.exe\r\n"
            "Talk limit name:sinauc.exe\r\n"
            "Talk limit name:googletalk.exe\r\n"
            "Enable time limit:1\r\n" +
                times + "install date:Sun Dec 31 23:59:58 2023\n\r\n");
}

TEST(SaveText, ChatLinesFollowTheTableOrder) {
  const char* expected[kChatToolCount] = {
      "Talk limit name:icq.exe\r\nTalk limit name:icqlite.exe\r\n",
      "Talk limit name:qq.exe\r\n",
      "Talk limit name:msmsgs.exe\r\n",
      "Talk limit name:skype.exe\r\n",
      "Talk limit name:aim.exe\r\n",
      "Talk limit name:sinauc.exe\r\n",
      "Talk limit name:googletalk.exe\r\n",
  };
  std::string all;
  SaveValues every = DefaultLike();
  for (int i = 0; i < kChatToolCount; ++i) {
    SCOPED_TRACE(kChatTools[i].caption);
    SaveValues v = DefaultLike();
    v.chatChecked[i] = every.chatChecked[i] = true;
    const std::string text = BuildSettingsText(v);
    const size_t at = text.find("Talk limit name:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at, text.find("Enable time limit:") - at), expected[i]);
    all += expected[i];
  }
  const std::string text = BuildSettingsText(every);
  const size_t at = text.find("Talk limit name:");
  EXPECT_EQ(text.substr(at, text.find("Enable time limit:") - at), all);
  EXPECT_EQ(kChatTools[5].boxId, 1059);
  EXPECT_STREQ(kChatTools[5].caption, "新浪UC");
}

TEST(SaveText, ResolveCheckedProgramsAgainstTheInstalledTable) {
  CNameTable installed;
  installed.InitBuckets(1024);
  auto dup = [](const char* s) { return strcpy(static_cast<char*>(malloc(strlen(s) + 1)), s); };
  installed.Insert("Alpha", dup("C:\\a.exe"));
  installed.Insert("Beta", dup("C:\\b.exe"));
  installed.Insert(std::string(255, 'L').c_str(), dup("C:\\l.exe"));
  const std::vector<ProgramEntry> got = ResolveCheckedPrograms(
      {"Beta", "Unknown", "Alpha", std::string(300, 'L')}, installed);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].name, "Beta");
  EXPECT_EQ(got[0].path, "C:\\b.exe");
  EXPECT_EQ(got[1].name, "Alpha");
  EXPECT_EQ(got[2].name, std::string(255, 'L'));
  EXPECT_EQ(got[2].path, "C:\\l.exe");
}

TEST(TimeText, AsctimeFormWithZeroPaddedDay) {
  struct Case { int year, mon, mday, wday, h, m, s; const char* text; } cases[] = {
      {2009, 0, 5, 1, 8, 9, 10, "Mon Jan 05 08:09:10 2009\n"},
      {2023, 11, 31, 0, 23, 59, 58, "Sun Dec 31 23:59:58 2023\n"},
      {2024, 1, 29, 4, 0, 0, 0, "Thu Feb 29 00:00:00 2024\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    struct tm t = {};
    t.tm_year = c.year - 1900;
    t.tm_mon = c.mon;
    t.tm_mday = c.mday;
    t.tm_wday = c.wday;
    t.tm_hour = c.h;
    t.tm_min = c.m;
    t.tm_sec = c.s;
    char buf[kTimeTextSize];
    FormatTimeText(t, buf);
    EXPECT_STREQ(buf, c.text);
  }
}

TEST(TimeText, LocalTimeNow) {
  for (int attempt = 0; attempt < 2; ++attempt) {  // the second may tick between the calls
    char got[kTimeTextSize] = {};
    GetLocalTimeText(got);
    time_t now = time(nullptr);
    char expected[kTimeTextSize] = {};
    FormatTimeText(*localtime(&now), expected);
    EXPECT_EQ(strlen(got), 25u);
    EXPECT_EQ(got[24], '\n');
    EXPECT_NE(got[8], ' ');  // day zero-padded
    if (strcmp(got, expected) == 0) return;
  }
  ADD_FAILURE() << "GetLocalTimeText differs from the local clock";
}

using SaveRoundTrip = SettingsFilesTest;

// What a save writes, the accessors read back.
TEST_F(SaveRoundTrip, AccessorsReadWhatTheSaveWrote) {
  SaveValues v = DefaultLike();
  v.adultFilter = true;
  v.adultDegree = 2;
  v.videoFilter = true;
  v.programAllowList = true;
  v.programs = {{"Alpha", "C:\\a.exe"}, {"Beta", "C:\\b.exe"}};
  v.chatChecked[5] = true;
  v.times[3] = {18, 30, 5};
  ASSERT_TRUE(WriteSettingsFile(MainPath().c_str(), BuildSettingsText(v).c_str()));
  EXPECT_TRUE(IsAdultFilterEnabled());
  EXPECT_EQ(GetAdultFilterDegree(), 2);
  EXPECT_TRUE(IsWebVideoFilterEnabled());
  EXPECT_TRUE(IsProgramAllowList());
  EXPECT_TRUE(IsTalkToolLimited("sinauc.exe"));
  EXPECT_FALSE(IsTalkToolLimited("aim.exe"));
  int h, m, s;
  ASSERT_TRUE(GetDayTime("TueEndTime:", h, m, s));
  EXPECT_EQ(std::vector<int>({h, m, s}), std::vector<int>({18, 30, 5}));
  g_chosenPrograms.InitBuckets(1024);
  LoadListedProgramNames();
  EXPECT_EQ(g_chosenPrograms.GetCount(), 2);
  EXPECT_TRUE(g_chosenPrograms.Lookup("Beta"));
  g_chosenPrograms.RemoveAll();
}

TEST_F(SaveRoundTrip, OversizeSaveIsRefusedAndTheFilesStay) {
  const std::string saved = BuildSettingsText(DefaultLike());
  ASSERT_TRUE(WriteSettingsFile(MainPath().c_str(), saved.c_str()));
  ASSERT_TRUE(WriteSettingsFile(BackupPath().c_str(), saved.c_str()));
  const std::string mainBytes = ReadFileBytes(MainPath());

  SaveValues big = DefaultLike();
  for (int i = 0; i < 500; ++i)
    big.programs.push_back({"P" + std::to_string(i), "C:\\" + std::string(250, 'd') + ".exe"});
  const std::string text = BuildSettingsText(big);
  ASSERT_GT(text.size(), kMaxSettingsTextLength);
  EXPECT_FALSE(WriteSettingsFile(MainPath().c_str(), text.c_str()));
  EXPECT_FALSE(WriteSettingsFile(BackupPath().c_str(), text.c_str()));
  EXPECT_EQ(ReadFileBytes(MainPath()), mainBytes);
  EXPECT_EQ(ReadFileBytes(BackupPath()), mainBytes);
}

}  // namespace
