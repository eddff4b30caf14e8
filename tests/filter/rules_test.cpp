// The rules that need no network bytes: time window, program filter, chat
// limit, and what is always allowed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "filtertestutil.h"

using namespace qvtest;

namespace {

struct TimeCase {
  int weekday, hour, minute, second;
  bool blocked;
};

class TimeLimitTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeLimitTest, WindowOfTheDay) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable time limit:1",
                           "MonStartTime:08:00:00", "MonEndTime:20:30:15",   // plain window
                           "TueStartTime:22:00:00", "TueEndTime:06:00:00",   // crosses midnight
                           "SunStartTime:10:00:00", "SunEndTime:10:00:00",   // one second
                           "SatStartTime:7:5:9", "SatEndTime:23:59:59"}));   // fields read as the page reads them
  const TimeCase& c = GetParam();
  const qv::Verdict v = e.Decide(At(c.weekday, c.hour, c.minute, c.second));
  EXPECT_EQ(v.block, c.blocked);
  EXPECT_EQ(v.reason, c.blocked ? qv::Reason::kTime : qv::Reason::kNone);
}

INSTANTIATE_TEST_SUITE_P(Edges, TimeLimitTest, ::testing::Values(
    TimeCase{1, 7, 59, 59, true}, TimeCase{1, 8, 0, 0, false}, TimeCase{1, 12, 0, 0, false},
    TimeCase{1, 20, 30, 15, false}, TimeCase{1, 20, 30, 16, true}, TimeCase{1, 0, 0, 0, true},
    TimeCase{1, 23, 59, 59, true},
    TimeCase{2, 21, 59, 59, true}, TimeCase{2, 22, 0, 0, false}, TimeCase{2, 23, 59, 59, false},
    TimeCase{2, 0, 0, 0, false}, TimeCase{2, 6, 0, 0, false}, TimeCase{2, 6, 0, 1, true},
    TimeCase{2, 12, 0, 0, true},
    TimeCase{3, 0, 0, 0, false}, TimeCase{3, 23, 59, 59, false},  // default window: the whole day
    TimeCase{0, 9, 59, 59, true}, TimeCase{0, 10, 0, 0, false}, TimeCase{0, 10, 0, 1, true},
    TimeCase{0, 12, 0, 0, true},  // Sunday has its own window, not Monday's
    // "7:5:9" reads as the page reads it: hour "7:" is 7, minute ":9" is 0, no second: 07:00:00.
    TimeCase{6, 6, 59, 59, true}, TimeCase{6, 7, 0, 0, false},
    TimeCase{7, 12, 0, 0, true}));  // a weekday out of range is taken modulo 7: Sunday

TEST(TimeLimit, OffMeansNoWindow) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable time limit:0", "MonStartTime:08:00:00", "MonEndTime:09:00:00"}));
  EXPECT_FALSE(e.Decide(At(1, 23, 0, 0)).block);
}

TEST(TimeLimit, MissingTimesReadAsMidnightAsThePageShowsThem) {
  qv::Engine e;
  LoadEngine(&e, "Enable time limit:1\r\n");
  EXPECT_FALSE(e.Decide(At(4, 0, 0, 0)).block);
  EXPECT_TRUE(e.Decide(At(4, 0, 0, 1)).block);
}

TEST(Settings, MissingOrEmptyTextRestrictsNothing) {
  for (const char* text : {static_cast<const char*>(nullptr), ""}) {
    qv::Engine e;
    e.SetLists(qv::FilterLists::Builtin());
    e.Load(text, TestEnvironment());
    qv::Context c = At(1, 3, 0, 0, "D:\\qq\\qq.exe");
    EXPECT_FALSE(e.Decide(c).block);
  }
  qv::Engine fresh;  // never loaded
  EXPECT_FALSE(fresh.Decide(At(1, 3, 0, 0)).block);
}

TEST(Settings, ReloadReplacesTheRules) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable time limit:1", "MonStartTime:08:00:00", "MonEndTime:09:00:00"}));
  EXPECT_TRUE(e.Decide(At(1, 12, 0, 0)).block);
  LoadEngine(&e, Settings({}));
  EXPECT_FALSE(e.Decide(At(1, 12, 0, 0)).block);
}

TEST(Settings, FirstOccurrenceOfAKeyWinsAsInTheControlProgram) {
  // A program path that holds a key decides, as the accessors read it.
  qv::Engine e;
  LoadEngine(&e, "program name:x\r\nprogram path:C:\\Enable time limit:1\r\n"
                 "Enable time limit:0\r\nMonStartTime:08:00:00\r\nMonEndTime:09:00:00\r\n");
  EXPECT_TRUE(e.Decide(At(1, 12, 0, 0)).block);
}

struct AlwaysCase {
  qv::Address remote;
  const char* program;
  bool blocked;
};

class AlwaysAllowedTest : public ::testing::TestWithParam<AlwaysCase> {};

TEST_P(AlwaysAllowedTest, LoopbackAndTheControlProgram) {
  qv::Engine e;
  // Outside the window, and the program list allows nothing.
  LoadEngine(&e, Settings({"Enable time limit:1", "MonStartTime:08:00:00", "MonEndTime:09:00:00",
                           "Enable program filter:1", "Program filter type:1"}));
  qv::Context c = At(1, 12, 0, 0, GetParam().program);
  c.remote = GetParam().remote;
  EXPECT_EQ(e.Decide(c).block, GetParam().blocked);
}

INSTANTIATE_TEST_SUITE_P(Cases, AlwaysAllowedTest, ::testing::Values(
    AlwaysCase{V4(127, 0, 0, 1, 80), kBrowser, false},
    AlwaysCase{V4(127, 200, 1, 9, 5000), kBrowser, false},
    AlwaysCase{V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 80), kBrowser, false},
    AlwaysCase{V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1}, 80), kBrowser, false},
    AlwaysCase{V4(128, 0, 0, 1, 80), kBrowser, true},
    AlwaysCase{V4(10, 127, 0, 1, 80), kBrowser, true},
    AlwaysCase{V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, 80), kBrowser, true},
    AlwaysCase{V6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 80), kBrowser, true},
    AlwaysCase{V4(8, 8, 8, 8, 53), "C:\\Program Files\\Halvenor\\Mossgrave.exe", false},
    AlwaysCase{V4(8, 8, 8, 8, 53), "c:/PROGRAM FILES/halvenor//mossgrave.EXE", false},
    AlwaysCase{V4(8, 8, 8, 8, 53), "C:\\Program Files\\Halvenor\\Mossgrave.exe.bak", true},
    AlwaysCase{V4(8, 8, 8, 8, 53), "C:\\Temp\\Mossgrave.exe", true}));

// The program list as the scan stores it: raw shortcut targets.
const char* const kProgramList[] = {
    "Enable program filter:1",
    "program name:QQ", "program path:%ProgramFiles%\\Tencent\\QQ\\Bin\\QQ.exe",
    "program name:Game", "program path:C:\\PROGRA~2\\Game\\game.exe",
    "program name:Notes", "program path:C:/Users/kid/AppData/Roaming/Notes/notes.exe",
    "program name:Appdata", "program path:%APPDATA%\\Chat\\Chat.exe",
    "program name:Host", "program path:C:\\Windows\\System32\\svchost.exe",
};

std::string ProgramSettings(bool allowList) {
  std::string t = allowList ? "Program filter type:1\r\n" : "Program filter type:0\r\n";
  for (const char* line : kProgramList) t += std::string(line) + "\r\n";
  return t + Settings({});
}

struct ProgramCase {
  const char* path;
  bool listed;  // as Windows would compare it with a listed program
  bool system;  // under the Windows folder
};

class ProgramFilterTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramFilterTest, ForbiddenList) {
  qv::Engine e;
  LoadEngine(&e, ProgramSettings(false));
  const qv::Verdict v = e.Decide(At(1, 12, 0, 0, GetParam().path));
  const bool blocked = GetParam().listed && !GetParam().system;
  EXPECT_EQ(v.block, blocked);
  if (blocked) { EXPECT_EQ(v.reason, qv::Reason::kProgram); }
}

TEST_P(ProgramFilterTest, AllowedList) {
  qv::Engine e;
  LoadEngine(&e, ProgramSettings(true));
  const qv::Verdict v = e.Decide(At(1, 12, 0, 0, GetParam().path));
  const bool blocked = !GetParam().listed && !GetParam().system;
  EXPECT_EQ(v.block, blocked);
  if (blocked) { EXPECT_EQ(v.reason, qv::Reason::kProgram); }
}

TEST_P(ProgramFilterTest, SwitchedOff) {
  qv::Engine e;
  std::string t = ProgramSettings(true);
  t = "Enable program filter:0\r\n" + t;
  LoadEngine(&e, t);
  EXPECT_FALSE(e.Decide(At(1, 12, 0, 0, GetParam().path)).block);
}

INSTANTIATE_TEST_SUITE_P(Paths, ProgramFilterTest, ::testing::Values(
    ProgramCase{"C:\\Program Files (x86)\\Tencent\\QQ\\Bin\\QQ.exe", true, false},  // as a 32-bit host expands
    ProgramCase{"C:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe", true, false},        // the 64-bit folder
    ProgramCase{"c:/program files/tencent/qq/bin/qq.EXE", true, false},
    ProgramCase{"C:\\Program Files\\\\Tencent\\QQ\\Bin\\QQ.exe", true, false},
    ProgramCase{"\\\\?\\C:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe", true, false},
    ProgramCase{"C:\\PROGRA~1\\Tencent\\QQ\\Bin\\QQ.exe", true, false},  // short form of the running program
    ProgramCase{"C:\\Program Files (x86)\\Game\\GAME.exe", true, false},  // listed by its short form
    ProgramCase{"C:\\Users\\kid\\AppData\\Roaming\\Notes\\notes.exe", true, false},
    ProgramCase{"C:\\Users\\Kid\\AppData\\Roaming\\Chat\\chat.exe", true, false},
    ProgramCase{"C:\\Users\\kid\\AppData\\Roaming\\Notes\\notes2.exe", false, false},
    ProgramCase{"C:\\Program Files\\Tencent\\QQ\\Bin", false, false},
    ProgramCase{"D:\\Tencent\\QQ\\Bin\\QQ.exe", false, false},
    ProgramCase{kBrowser, false, false},
    ProgramCase{"C:\\Windows\\System32\\svchost.exe", true, true},
    ProgramCase{"c:\\WINDOWS\\system32\\SVCHOST.EXE", true, true},
    ProgramCase{"C:\\Windows\\explorer.exe", false, true},
    ProgramCase{"C:/Windows/System32/wuauclt.exe", false, true},
    ProgramCase{"C:\\WindowsApps\\store.exe", false, false},  // not under the Windows folder
    ProgramCase{"C:\\Windows", false, false}));

TEST(ProgramFilter, AnUnknownProgramIsNotJudged) {
  qv::Engine e;
  LoadEngine(&e, ProgramSettings(true));
  qv::Context c = At(1, 12, 0, 0);
  c.programPath = nullptr;
  EXPECT_FALSE(e.Decide(c).block);
  c.programPath = "";
  EXPECT_FALSE(e.Decide(c).block);
}

// The engine remembers its answer for each program: a caller that writes
// another path into the same buffer gets that path judged, and programs
// beyond those it remembers are judged each time.
TEST(ProgramFilter, AReusedPathBufferIsJudgedByItsContent) {
  qv::Engine e;
  LoadEngine(&e, ProgramSettings(false));
  std::vector<std::pair<std::string, bool>> steps = {
      {"C:\\Users\\kid\\AppData\\Roaming\\Notes\\notes.exe", true},
      {"C:\\Users\\kid\\AppData\\Roaming\\Notes\\other.exe", false},
      {"C:\\Users\\kid\\AppData\\Roaming\\Notes\\NOTES.EXE", true},
      {"C:\\Users\\kid\\AppData\\Roaming\\Notes\\notes.exe", true},
      {"D:\\notes.exe", false},
  };
  for (int i = 0; i < 20; ++i) steps.push_back({"D:\\tool" + std::to_string(i) + ".exe", false});
  steps.push_back({"C:\\Users\\KID\\AppData\\Roaming\\Notes\\notes.exe", true});
  steps.push_back({"D:\\tool3.exe", false});
  char buffer[128];
  for (int round = 0; round < 2; ++round)
    for (const auto& s : steps) {
      snprintf(buffer, sizeof buffer, "%s", s.first.c_str());
      qv::Context c = At(1, 12, 0, 0, buffer);
      EXPECT_EQ(e.Decide(c).block, s.second) << s.first;
      c.programPathLength = strlen(buffer);  // as a caller that knows it passes it
      EXPECT_EQ(e.Decide(c).block, s.second) << s.first;
    }
}

TEST(ProgramFilter, ThreadsAskingAtOnceGetTheirOwnProgramsAnswer) {
  qv::Engine e;
  LoadEngine(&e, ProgramSettings(false));
  const std::string listed = "C:\\Users\\kid\\AppData\\Roaming\\Notes\\notes.exe";
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) paths.push_back(i % 3 ? "D:\\tool" + std::to_string(i) + ".exe" : listed);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (const std::string& path : paths)
    threads.emplace_back([&e, &wrong, &path, &listed] {
      for (int k = 0; k < 200; ++k)
        if (e.Decide(At(1, 12, 0, 0, path.c_str())).block != (path == listed)) ++wrong;
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(ProgramFilter, DoubleByteCharactersAreNotFoldedOrSplit) {
  // 0x5C ('\') and 0x41 ('A') as second bytes of GBK characters.
  const std::string listed = "C:\\\x95\x5C\\\x81\x41.exe";
  qv::Engine e;
  LoadEngine(&e, "Enable program filter:1\r\nProgram filter type:0\r\nprogram name:x\r\nprogram path:" + listed +
                     "\r\n");
  EXPECT_TRUE(e.Decide(At(1, 12, 0, 0, listed.c_str())).block);
  // Folding the second byte 'A', or taking the second byte '\' for a
  // separator and merging it with the next, would make these equal to it.
  EXPECT_FALSE(e.Decide(At(1, 12, 0, 0, "C:\\\x95\x5C\\\x81\x61.exe")).block);
  EXPECT_FALSE(e.Decide(At(1, 12, 0, 0, "C:\\\x95\x5C\x81\x41.exe")).block);
}

struct ChatCase {
  const char* path;
  bool blocked;
};

class ChatLimitTest : public ::testing::TestWithParam<ChatCase> {};

TEST_P(ChatLimitTest, ByExecutableName) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Talk limit name:qq.exe", "Talk limit name:icq.exe", "Talk limit name:icqlite.exe"}));
  const qv::Verdict v = e.Decide(At(1, 12, 0, 0, GetParam().path));
  EXPECT_EQ(v.block, GetParam().blocked);
  if (GetParam().blocked) { EXPECT_EQ(v.reason, qv::Reason::kChat); }
}

INSTANTIATE_TEST_SUITE_P(Names, ChatLimitTest, ::testing::Values(
    ChatCase{"C:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe", true},
    ChatCase{"D:/games/qq.EXE", true},
    ChatCase{"qq.exe", true},
    ChatCase{"C:\\ICQ\\ICQLite.exe", true},
    ChatCase{"C:\\ICQ\\icq.exe", true},
    ChatCase{"C:\\Windows\\qq.exe", true},  // the Windows folder is exempt from the program list only
    ChatCase{"C:\\Tencent\\myqq.exe", false},
    ChatCase{"C:\\Tencent\\qq.exe.exe", false},
    ChatCase{"C:\\qq.exe\\other.exe", false},
    ChatCase{"C:\\Skype\\skype.exe", false}));

TEST(ChatLimit, TheLastLineNeedsNoLineEnd) {
  qv::Engine e;
  LoadEngine(&e, Settings({}) + "Talk limit name:sinauc.exe");
  EXPECT_TRUE(e.Decide(At(1, 12, 0, 0, "C:\\UC\\SinaUC.exe")).block);
}

TEST(Order, TimeComesBeforeProgramAndChat) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable time limit:1", "MonStartTime:08:00:00", "MonEndTime:09:00:00",
                           "Talk limit name:qq.exe"}));
  EXPECT_EQ(e.Decide(At(1, 12, 0, 0, "C:\\qq.exe")).reason, qv::Reason::kTime);
  EXPECT_EQ(e.Decide(At(1, 8, 30, 0, "C:\\qq.exe")).reason, qv::Reason::kChat);
}

TEST(BlockPage, A403WithTheReasonInChinese) {
  const struct {
    qv::Reason reason;
    const char* text;  // GBK
  } cases[] = {
      {qv::Reason::kTime, "\xcf\xd6\xd4\xda\xb2\xbb\xca\xc7\xd4\xca\xd0\xed\xc9\xcf\xcd\xf8\xb5\xc4\xca\xb1\xbc\xe4"},
      {qv::Reason::kProgram, "\xb4\xcb\xb3\xcc\xd0\xf2\xb2\xbb\xd4\xca\xd0\xed\xca\xb9\xd3\xc3\xcd\xf8\xc2\xe7"},
      {qv::Reason::kChat, "\xc1\xc4\xcc\xec\xb9\xa4\xbe\xdf"},
      {qv::Reason::kAdult, "\xbb\xc6\xc9\xab\xc4\xda\xc8\xdd\xcd\xf8\xd2\xb3"},
      {qv::Reason::kPopup, "\xb5\xaf\xb3\xf6\xb4\xb0\xbf\xda"},
      {qv::Reason::kFlash, "Flash(\xb6\xaf\xbb\xad)"},
      {qv::Reason::kVideo, "\xd4\xda\xcf\xdf\xca\xd3\xd2\xf4\xc6\xb5"},
  };
  for (const auto& c : cases) {
    qv::Verdict v;
    v.block = true;
    v.reason = c.reason;
    v.host = "www.example.com";
    const std::string page = qv::Engine::BlockPage(v);
    ASSERT_EQ(page.compare(0, 24, "HTTP/1.1 403 Forbidden\r\n"), 0) << qv::ReasonName(c.reason);
    EXPECT_NE(page.find("charset=GBK"), std::string::npos);
    EXPECT_NE(page.find(c.text), std::string::npos) << qv::ReasonName(c.reason);
    EXPECT_NE(page.find("www.example.com"), std::string::npos);
    const size_t bodyAt = page.find("\r\n\r\n") + 4;
    const size_t lengthAt = page.find("Content-Length: ") + 16;
    EXPECT_EQ(std::stoul(page.substr(lengthAt)), page.size() - bodyAt);
  }
}

TEST(BlockPage, HostBytesCannotBecomeMarkup) {
  qv::Verdict v;
  v.block = true;
  v.reason = qv::Reason::kAdult;
  v.host = "x<script>alert(1)</script>.com";
  const std::string page = qv::Engine::BlockPage(v);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("alert(1)"), std::string::npos);
}

TEST(ReasonName, EachReasonHasItsName) {
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kNone), "none");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kTime), "time");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kProgram), "program");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kChat), "chat");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kAdult), "adult");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kPopup), "popup");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kFlash), "flash");
  EXPECT_STREQ(qv::ReasonName(qv::Reason::kVideo), "video");
}

}  // namespace
