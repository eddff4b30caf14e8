// The built Mossgrave.exe, started and driven from this second process.
#include <gtest/gtest.h>

#include <string>

#include "settingsfiles.h"
#include "e2edriver.h"
#include "resource.h"
#include "settings/settingsfile.h"
#include "settings/settingstext.h"
#include "testutil.h"

namespace {

using namespace e2e;

const std::string kExe = ToWindowsPath(MOSSGRAVE_EXE_PATH);
constexpr DWORD kStartMs = 20000;  // a first Wine process can be slow to show anything

void StoreSettings(const std::string& password) { ASSERT_TRUE(StoreDefaultsWithPassword(password)); }

class StartupTest : public ProgramTest {
 protected:
  // Waits for the program to end, failing if a main window shows meanwhile.
  void ExpectEndsWithoutMainWindow() {
    const DWORD start = GetTickCount();
    bool ended = false;
    while (GetTickCount() - start < 10000) {
      EXPECT_EQ(nullptr, FindTopWindow(MainWindowQuery(program.pid())));
      if (program.WaitForExit(25)) {
        ended = true;
        break;
      }
    }
    EXPECT_TRUE(ended) << "the program did not end";
  }
};

TEST_F(StartupTest, FirstStartTellsThePasswordBeforeAsking) {
  ASSERT_TRUE(program.Start(kExe)) << kExe;
  HWND box = WaitForMessageBox(program.pid(), kStartMs);
  ASSERT_NE(nullptr, box) << "no initial-password message";
  EXPECT_EQ("初始密码是480273", MessageBoxText(box));
  // The files are written before the message, and the prompt waits for it.
  EXPECT_TRUE(FileIsThere(MainSettingsPath()));
  EXPECT_TRUE(FileIsThere(BackupSettingsPath()));
  EXPECT_EQ(ReadFileBytes(MainSettingsPath()), ReadFileBytes(BackupSettingsPath()));
  EXPECT_EQ(nullptr, FindTopWindow(PromptQuery(program.pid())));

  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()));
  ASSERT_NE(nullptr, prompt) << "no password prompt after the message";

  ClickButton(prompt, IDCANCEL);
  ExpectEndsWithoutMainWindow();
}

TEST_F(StartupTest, SecondInstanceEndsSilentlyAndChangesNothing) {
  StoreSettings("e2e-pass");
  ASSERT_TRUE(program.Start(kExe));
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()), kStartMs);
  ASSERT_NE(nullptr, prompt) << "no password prompt";
  EXPECT_EQ(nullptr, FindTopWindow([&] {
              WindowQuery q;
              q.pid = program.pid();
              q.extra = IsMessageBox;
              return q;
            }()))
      << "an existing settings file needs no initial-password message";

  const std::string mainBefore = ReadFileBytes(MainSettingsPath());
  const std::string backupBefore = ReadFileBytes(BackupSettingsPath());

  Program second;
  ASSERT_TRUE(second.Start(kExe));
  const DWORD start = GetTickCount();
  bool ended = false;
  while (GetTickCount() - start < 10000) {
    EXPECT_EQ(0, CountVisibleWindows(second.pid()));
    if (second.WaitForExit(20)) {
      ended = true;
      break;
    }
  }
  EXPECT_TRUE(ended) << "the second instance kept running";
  EXPECT_EQ(mainBefore, ReadFileBytes(MainSettingsPath()));
  EXPECT_EQ(backupBefore, ReadFileBytes(BackupSettingsPath()));

  // The first instance carries on with its prompt.
  EXPECT_TRUE(program.IsRunning());
  EXPECT_TRUE(IsWindow(prompt) && IsWindowVisible(prompt));
  ClickButton(prompt, IDCANCEL);
  ExpectEndsWithoutMainWindow();

  // Once it has ended, the name is free again.
  Program third;
  ASSERT_TRUE(third.Start(kExe));
  EXPECT_NE(nullptr, WaitForTopWindow(PromptQuery(third.pid()), kStartMs));
}

TEST_F(StartupTest, WrongThenRightPasswordOpensTheMainWindow) {
  StoreSettings("e2e-pass");
  ASSERT_TRUE(program.Start(kExe));
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()), kStartMs);
  ASSERT_NE(nullptr, prompt);

  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, "480273"));  // the factory one no longer opens it
  ClickButton(prompt, IDOK);
  HWND box = WaitForMessageBox(program.pid());
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("密码错误", MessageBoxText(box));
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(program.WaitForIdle());
  EXPECT_EQ("", ControlText(prompt, IDC_PASSWORD));
  EXPECT_EQ(nullptr, FindTopWindow(MainWindowQuery(program.pid())));

  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, "e2e-pass"));
  ClickButton(prompt, IDOK);
  HWND main = WaitForTopWindow(MainWindowQuery(program.pid()), kStartMs);
  ASSERT_NE(nullptr, main) << "no main window after the right password";
  EXPECT_TRUE(WaitForWindowGone(prompt));
  EXPECT_TRUE(program.IsRunning());
}

}  // namespace
