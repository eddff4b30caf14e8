// What a second process can do to the program by posting messages, as a
// script would: a hidden window stays hidden and locked, the main window
// takes no OK or Cancel, and floods of commands stack no dialogs.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "e2edriver.h"
#include "resource.h"
#include "settings/settingsfile.h"
#include "settingsfiles.h"
#include "testutil.h"

namespace {

using namespace e2e;

const std::string kExe = ToWindowsPath(MOSSGRAVE_EXE_PATH);
constexpr DWORD kStartMs = 20000;
constexpr char kPassword[] = "e2e-pass";
constexpr UINT kTrayNotify = WM_USER + 5;
constexpr UINT kShowPage = WM_USER + 0x320;

int CountWindows(DWORD pid, const std::string& caption, bool boxes) {
  struct State {
    DWORD pid;
    const std::string* caption;
    bool boxes;
    int count;
  } s{pid, &caption, boxes, 0};
  EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        auto* st = reinterpret_cast<State*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == st->pid && IsWindowVisible(h) && WindowText(h) == *st->caption && IsMessageBox(h) == st->boxes)
          ++st->count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.count;
}

class LockedWindowTest : public ProgramTest {
 protected:
  // Starts the program and opens its settings window with the password.
  HWND Open() {
    EXPECT_TRUE(StoreDefaultsWithPassword(kPassword));
    if (!program.Start(kExe)) return nullptr;
    HWND prompt = WaitForTopWindow(PromptQuery(program.pid()), kStartMs);
    if (!prompt) return nullptr;
    EXPECT_TRUE(SetControlText(prompt, IDC_PASSWORD, kPassword));
    ClickButton(prompt, IDOK);
    HWND main = WaitForTopWindow(MainWindowQuery(program.pid()), kStartMs);
    if (main) {
      EXPECT_TRUE(program.WaitForIdle());
      contentPage_ = FindChildDialog(main, IDC_FLASH_FILTER, "Button");
      passwordPage_ = FindChildDialog(main, IDC_PWD_CHANGE, "Button");
    }
    return main;
  }

  // Returns once everything posted to the window before has been handled:
  // a page switch posted behind it must have happened.
  bool Sync(HWND main) {
    const bool contentShown = GetWindowLongA(contentPage_, GWL_STYLE) & WS_VISIBLE;
    HWND target = contentShown ? passwordPage_ : contentPage_;
    PostMessageA(main, kShowPage, 0, contentShown ? 0 : 1);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kDefaultTimeoutMs; Sleep(10))
      if (GetWindowLongA(target, GWL_STYLE) & WS_VISIBLE) return program.WaitForIdle();
    return false;
  }

  void Hide(HWND main) {
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(Sync(main));
    ASSERT_FALSE(IsWindowVisible(main));
  }

  bool AnyMessageBox() {
    WindowQuery q;
    q.pid = program.pid();
    q.extra = IsMessageBox;
    return FindTopWindow(q) != nullptr;
  }

  HWND contentPage_ = nullptr;
  HWND passwordPage_ = nullptr;
};

TEST_F(LockedWindowTest, OnlyThePasswordShowsAHiddenWindow) {
  HWND main = Open();
  ASSERT_NE(nullptr, main);
  ASSERT_NE(nullptr, contentPage_);
  ASSERT_NE(nullptr, passwordPage_);
  Hide(main);

  const struct {
    const char* name;
    UINT message;
    WPARAM wParam;
  } ways[] = {
      {"restore", WM_SYSCOMMAND, SC_RESTORE},
      {"maximise", WM_SYSCOMMAND, SC_MAXIMIZE},
      {"minimise", WM_SYSCOMMAND, SC_MINIMIZE},
      {"restore after minimise", WM_SYSCOMMAND, SC_RESTORE},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.name);
    PostMessageA(main, w.message, w.wParam, 0);
    ASSERT_TRUE(Sync(main));
    EXPECT_FALSE(IsWindowVisible(main));
  }
  // Shown from outside, straight through the window manager.
  ShowWindowAsync(main, SW_SHOWNORMAL);
  ASSERT_TRUE(Sync(main));
  EXPECT_FALSE(IsWindowVisible(main));

  // The tray double-click still asks for the password, and it is the way back.
  PostMessageA(main, kTrayNotify, 128, WM_LBUTTONDBLCLK);
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()));
  ASSERT_NE(nullptr, prompt) << "the tray double-click showed no prompt";
  EXPECT_FALSE(IsWindowVisible(main));
  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, kPassword));
  ClickButton(prompt, IDOK);
  ASSERT_TRUE(WaitForWindowGone(prompt));
  ASSERT_TRUE(Sync(main));
  EXPECT_TRUE(IsWindowVisible(main));
}

TEST_F(LockedWindowTest, NoSettingChangesWhileHidden) {
  HWND main = Open();
  ASSERT_NE(nullptr, main);
  ASSERT_NE(nullptr, contentPage_);
  Hide(main);
  const std::string before = ReadFileBytes(MainSettingsPath());

  ASSERT_EQ(BST_UNCHECKED, CheckState(contentPage_, IDC_POPUP_FILTER));
  ClickButton(contentPage_, IDC_POPUP_FILTER);
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
  ASSERT_TRUE(Sync(main));
  EXPECT_FALSE(AnyMessageBox()) << "a save question while locked";
  EXPECT_EQ(BST_UNCHECKED, CheckState(contentPage_, IDC_POPUP_FILTER));
  EXPECT_EQ(before, ReadFileBytes(MainSettingsPath()));
  // The exit keeps its rule: nothing changed, so it ends without a question.
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED), 0);
  EXPECT_TRUE(program.WaitForExit(kDefaultTimeoutMs));
  EXPECT_EQ(before, ReadFileBytes(MainSettingsPath()));
}

TEST_F(LockedWindowTest, OkAndCancelCommandsDoNotEndTheProgram) {
  HWND main = Open();
  ASSERT_NE(nullptr, main);
  for (WPARAM command : {WPARAM{IDOK}, WPARAM{IDCANCEL}}) {
    SCOPED_TRACE(command);
    PostMessageA(main, WM_COMMAND, command, 0);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    ASSERT_TRUE(Sync(main));
    EXPECT_TRUE(program.IsRunning());
    EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main));
  }
}

TEST_F(LockedWindowTest, FloodsOfCommandsOpenOneDialogEach) {
  HWND main = Open();
  ASSERT_NE(nullptr, main);
  Hide(main);
  // Show commands: one prompt.
  for (int i = 0; i < 800; ++i) PostMessageA(main, WM_COMMAND, ID_TRAY_SHOW, 0);
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()));
  ASSERT_NE(nullptr, prompt);
  ASSERT_TRUE(Sync(main));
  EXPECT_EQ(1, CountWindows(program.pid(), "密码验证", false));
  ClickButton(prompt, IDCANCEL);
  ASSERT_TRUE(WaitForWindowGone(prompt));
  ASSERT_TRUE(Sync(main));
  EXPECT_EQ(0, CountWindows(program.pid(), "密码验证", false));

  // About commands: one box, and the program lives on.
  for (int i = 0; i < 3000; ++i) PostMessageA(main, WM_COMMAND, ID_APP_ABOUT_MENU, 0);
  ASSERT_TRUE(Sync(main));
  EXPECT_TRUE(program.IsRunning());
  int aboutBoxes = 0;
  std::pair<DWORD, int*> about(program.pid(), &aboutBoxes);
  EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        auto* st = reinterpret_cast<std::pair<DWORD, int*>*>(p);
        if (pid == st->first && IsWindowVisible(h) && GetDlgItem(h, IDC_MAILLINK)) ++*st->second;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&about));
  EXPECT_EQ(1, aboutBoxes);
}

TEST_F(LockedWindowTest, StartupPromptTakesNoEntryUnderItsWrongPasswordBox) {
  ASSERT_TRUE(StoreDefaultsWithPassword(kPassword));
  ASSERT_TRUE(program.Start(kExe));
  HWND prompt = WaitForTopWindow(PromptQuery(program.pid()), kStartMs);
  ASSERT_NE(nullptr, prompt);
  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, "wrong"));
  // A flood of OKs with a wrong entry: one box, no stack of them.
  for (int i = 0; i < 3000; ++i) ClickButton(prompt, IDOK);
  HWND box = WaitForMessageBox(program.pid());
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("密码错误", MessageBoxText(box));
  ASSERT_TRUE(program.WaitForIdle());
  Sleep(200);
  ASSERT_TRUE(program.WaitForIdle());
  EXPECT_TRUE(program.IsRunning());
  EXPECT_EQ(1, CountWindows(program.pid(), "Halvenor", true));

  // The right password while the box is still open is not taken.
  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, kPassword));
  ClickButton(prompt, IDOK);
  ASSERT_TRUE(program.WaitForIdle());
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(program.WaitForIdle());
  EXPECT_TRUE(program.IsRunning()) << "the program ended after the box";
  // Entered again, it opens the settings window.
  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, kPassword));
  ClickButton(prompt, IDOK);
  EXPECT_NE(nullptr, WaitForTopWindow(MainWindowQuery(program.pid()), kStartMs));
}

}  // namespace
