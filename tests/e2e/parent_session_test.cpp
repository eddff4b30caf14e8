// A parent's whole session with the real program: first start, edits on
// three pages, save, exit, and a second start that shows the saved values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2edriver.h"
#include "settingsfiles.h"
#include "resource.h"
#include "settings/passwordcheck.h"
#include "settings/settingsfile.h"
#include "settings/settingstext.h"
#include "testutil.h"

namespace {

using namespace e2e;

const std::string kExe = ToWindowsPath(MOSSGRAVE_EXE_PATH);
constexpr DWORD kStartMs = 20000;  // a first Wine process can be slow to show anything

// The pages share control ids; the class of the control tells them apart.
struct Pages {
  HWND content = nullptr;
  HWND time = nullptr;
  HWND chat = nullptr;
};

// The boxes the parent ticks (and the medium degree radio), by page.
struct Tick {
  HWND Pages::*page;
  int id;
};
const Tick kTicks[] = {
    {&Pages::content, IDC_ADULT_FILTER}, {&Pages::content, IDC_FLASH_FILTER}, {&Pages::content, IDC_DEGREE_MEDIUM},
    {&Pages::chat, IDC_TALK_QQ},         {&Pages::chat, IDC_TALK_ICQ},        {&Pages::time, IDC_TIME_LIMIT},
};

Pages FindPages(HWND main) {
  Pages p;
  p.content = FindChildDialog(main, IDC_FLASH_FILTER, "Button");
  p.time = FindChildDialog(main, IDC_TIME_FIRST, "SysDateTimePick32");
  p.chat = FindChildDialog(main, IDC_TALK_QQ, "Button");
  return p;
}

SYSTEMTIME MondayStart() {
  SYSTEMTIME t = {};
  t.wYear = 1990;
  t.wMonth = 1;
  t.wDay = 1;
  t.wDayOfWeek = 1;
  t.wHour = 7;
  t.wMinute = 5;
  t.wSecond = 9;
  return t;
}

// After the password line, which holds the hash of the factory password.
std::string ExpectedTextBeforeInstallDate() {
  std::vector<std::string> lines = {
      "Enable log:0",           "Log save time:3",
      "Enable adult filter:1",   "Adult filter degree:2",  "Flash Window filter:1",
      "Open Window filter:0",    "Web Video filter:0",     "Enable program filter:0",
      "Program filter type:0",   "Program list:",          "Talk limit name:icq.exe",
      "Talk limit name:icqlite.exe", "Talk limit name:qq.exe", "Enable time limit:1",
      "MonStartTime:07:05:09",   "MonEndTime:23:59:59",
  };
  const char* days[] = {"Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  for (const char* d : days) {
    lines.push_back(std::string(d) + "StartTime:00:00:00");
    lines.push_back(std::string(d) + "EndTime:23:59:59");
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

class ParentSessionTest : public ProgramTest {
 protected:
  // From the prompt to the main window with the given password.
  HWND EnterPassword(HWND prompt) {
    EXPECT_TRUE(SetControlText(prompt, IDC_PASSWORD, "480273"));
    ClickButton(prompt, IDOK);
    HWND box = WaitForMessageBox(program.pid(), kStartMs);
    EXPECT_NE(nullptr, box) << "no advice to change the factory password";
    if (box) {
      EXPECT_EQ("您正在使用初始密码，任何人都可能知道它。请现在在“密码设置”页设置您自己的密码。", MessageBoxText(box));
      EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    }
    HWND main = WaitForTopWindow(MainWindowQuery(program.pid()), kStartMs);
    if (main) {
      EXPECT_TRUE(program.WaitForIdle());
    }
    return main;
  }
};

TEST_F(ParentSessionTest, EditsSavedOnceAreShownAtTheNextStart) {
  // First start: the default file is created and its password told.
  ASSERT_TRUE(program.Start(kExe)) << kExe;
  HWND box = WaitForMessageBox(program.pid(), kStartMs);
  ASSERT_NE(nullptr, box) << "no initial-password message";
  EXPECT_EQ("初始密码是480273", MessageBoxText(box));
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()));
  ASSERT_NE(nullptr, prompt) << "no password prompt";
  HWND main = EnterPassword(prompt);
  ASSERT_NE(nullptr, main) << "no main window";

  Pages pages = FindPages(main);
  ASSERT_NE(nullptr, pages.content);
  ASSERT_NE(nullptr, pages.time);
  ASSERT_NE(nullptr, pages.chat);

  // The edits, made through the controls as a parent's clicks would.
  for (const Tick& t : kTicks) {
    ASSERT_TRUE(ClickButtonAndWait(pages.*t.page, t.id)) << t.id;
    EXPECT_EQ(BST_CHECKED, CheckState(pages.*t.page, t.id)) << t.id;
  }
  ASSERT_TRUE(SetPickerTime(pages.time, IDC_TIME_FIRST, MondayStart()));

  // Save, confirmed.
  const std::string before = ReadFileBytes(MainSettingsPath());
  ClickButton(main, IDC_SAVE);
  box = WaitForMessageBox(program.pid());
  ASSERT_NE(nullptr, box) << "no save question";
  EXPECT_EQ("确定要保存参数吗?", MessageBoxText(box));
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  // Idle alone is no proof under Wine: wait until the backup, written last,
  // matches a changed main file.
  ASSERT_TRUE(program.WaitForIdle());
  bool written = false;
  for (const DWORD start = GetTickCount(); !written && GetTickCount() - start < kDefaultTimeoutMs; Sleep(25)) {
    const std::string now = ReadFileBytes(MainSettingsPath());
    written = now != before && now == ReadFileBytes(BackupSettingsPath());
  }
  ASSERT_TRUE(written) << "the save wrote nothing";
  ASSERT_TRUE(program.WaitForIdle());

  static char text[kSettingsCapacity];
  ASSERT_TRUE(ReadSettingsFile(MainSettingsPath().c_str(), text, sizeof text));
  std::string saved = text;
  const size_t firstEnd = saved.find("\r\n");
  ASSERT_NE(std::string::npos, firstEnd);
  const std::string passwordLine = saved.substr(0, firstEnd);
  ASSERT_EQ(0u, passwordLine.find("Password:"));
  EXPECT_EQ(PasswordMatch::kHash, MatchStoredPassword("480273", passwordLine.c_str() + 9));
  EXPECT_EQ(std::string::npos, saved.find("480273")) << "the password is not readable in the file";
  saved = saved.substr(firstEnd + 2);
  const std::string expected = ExpectedTextBeforeInstallDate();
  ASSERT_GE(saved.size(), expected.size()) << saved;
  EXPECT_EQ(expected, saved.substr(0, expected.size()));
  const std::string dateLine = saved.substr(expected.size());
  const std::string key = "install date:";
  ASSERT_EQ(key.size() + 24 + 3, dateLine.size()) << dateLine;
  EXPECT_EQ(key, dateLine.substr(0, key.size()));
  EXPECT_EQ(std::string::npos, dateLine.substr(key.size(), 24).find_first_of("\r\n")) << dateLine;
  EXPECT_EQ("\n\r\n", dateLine.substr(key.size() + 24));
  EXPECT_EQ(ReadFileBytes(MainSettingsPath()), ReadFileBytes(BackupSettingsPath()));

  // The save cleared the change flag: exit asks nothing.
  ClickButton(main, IDC_EXIT);
  const DWORD start = GetTickCount();
  bool ended = false;
  while (GetTickCount() - start < 10000) {
    EXPECT_EQ(nullptr, FindTopWindow([&] {
                WindowQuery q;
                q.pid = program.pid();
                q.extra = IsMessageBox;
                return q;
              }()))
        << "exit asked a question after a save";
    if (program.WaitForExit(25)) {
      ended = true;
      break;
    }
  }
  ASSERT_TRUE(ended) << "the program did not end on exit";

  // Second start: the file exists, so no message before the prompt.
  ASSERT_TRUE(program.Start(kExe));
  prompt = WaitForTopWindow(PromptQuery(program.pid()), kStartMs);
  ASSERT_NE(nullptr, prompt) << "no password prompt at the second start";
  EXPECT_EQ(nullptr, FindTopWindow([&] {
              WindowQuery q;
              q.pid = program.pid();
              q.extra = IsMessageBox;
              return q;
            }()));
  main = EnterPassword(prompt);
  ASSERT_NE(nullptr, main) << "no main window at the second start";
  pages = FindPages(main);
  ASSERT_NE(nullptr, pages.content);
  ASSERT_NE(nullptr, pages.time);
  ASSERT_NE(nullptr, pages.chat);

  for (const Tick& t : kTicks) EXPECT_EQ(BST_CHECKED, CheckState(pages.*t.page, t.id)) << t.id;
  EXPECT_EQ(BST_UNCHECKED, CheckState(pages.content, IDC_DEGREE_HIGH));
  SYSTEMTIME t = {};
  ASSERT_TRUE(GetPickerTime(pages.time, IDC_TIME_FIRST, &t));
  EXPECT_EQ(7, t.wHour);
  EXPECT_EQ(5, t.wMinute);
  EXPECT_EQ(9, t.wSecond);
  program.Kill();
}

}  // namespace
