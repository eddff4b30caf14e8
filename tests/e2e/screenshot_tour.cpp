// The screenshot tour of `make screenshots` (scripts/screenshots.sh): not a
// test, so it is disabled; the script runs it inside a Wine virtual desktop.
// At each view it writes "<name>.want" into the folder named by
// MOSSGRAVE_SHOT_DIR and waits for the script to answer with "<name>.done"
// once the screen is captured.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2edriver.h"
#include "resource.h"
#include "settings/settingsfile.h"
#include "testutil.h"

namespace {

using namespace e2e;


class Tour {
 public:
  explicit Tour(const std::string& dir) : dir_(dir) {}

  // Lets the program paint, then has the script capture the screen.
  void Shoot(const std::string& name, const Program& program) {
    program.WaitForIdle(3000);
    Sleep(400);
    const std::string want = dir_ + "\\" + name + ".want";
    const std::string done = dir_ + "\\" + name + ".done";
    ASSERT_TRUE(WriteFileBytes(want, name));
    const DWORD start = GetTickCount();
    while (!FileIsThere(done)) {
      ASSERT_LT(GetTickCount() - start, 30000u) << "no capture for " << name;
      Sleep(50);
    }
    std::printf("shot %s\n", name.c_str());
  }

 private:
  std::string dir_;
};

WindowQuery Query(DWORD pid, const char* caption, std::function<bool(HWND)> extra = nullptr) {
  WindowQuery q;
  q.pid = pid;
  q.caption = caption;
  q.className = "#32770";
  q.extra = std::move(extra);
  return q;
}

TEST(DISABLED_ScreenshotTour, AllViews) {
  const char* dirEnv = std::getenv("MOSSGRAVE_SHOT_DIR");
  ASSERT_NE(nullptr, dirEnv) << "MOSSGRAVE_SHOT_DIR names the folder shared with the script";
  Tour tour(ToWindowsPath(dirEnv));

  HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, "Mossgrave");
  if (other) CloseHandle(other);
  ASSERT_EQ(nullptr, other) << "Mossgrave already runs in this prefix; end it first";

  DeleteSettingsFiles();  // a first start: the initial password is known
  Program program;
  ASSERT_TRUE(program.Start(ToWindowsPath(MOSSGRAVE_EXE_PATH)));
  const DWORD pid = program.pid();

  HWND box = WaitForMessageBox(pid, 30000);
  ASSERT_NE(nullptr, box);
  tour.Shoot("01-initial-password", program);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));

  HWND prompt = WaitForTopWindow(Query(pid, "密码验证"));
  ASSERT_NE(nullptr, prompt);
  // Three wrong entries: the prompt makes the next one wait.
  for (int i = 0; i < 3; ++i) {
    SetControlText(prompt, IDC_PASSWORD, "wrong");
    ClickButton(prompt, IDOK);
    box = WaitForMessageBox(pid);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  }
  tour.Shoot("02-password-wait", program);
  for (const DWORD start = GetTickCount(); !IsWindowEnabled(GetDlgItem(prompt, IDOK)) && GetTickCount() - start < 10000;)
    Sleep(50);
  SetControlText(prompt, IDC_PASSWORD, "480273");
  tour.Shoot("02-password-prompt", program);
  ClickButton(prompt, IDOK);
  // The factory password: the advice to set an own one.
  box = WaitForMessageBox(pid, 30000);
  ASSERT_NE(nullptr, box);
  tour.Shoot("02a-own-password-advice", program);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));

  HWND main = WaitForTopWindow(Query(pid, "Halvenor", [](HWND h) { return !IsMessageBox(h); }), 30000);
  ASSERT_NE(nullptr, main);
  tour.Shoot("03-main-window", program);

  const char* pages[] = {"04-page-password", "05-page-content-filter", "06-page-time-limit",
                         "07-page-program-filter", "08-page-chat-limit"};
  HWND list = GetDlgItem(main, IDC_NAVLIST);
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(ClickListItem(list, i)) << pages[i];
    tour.Shoot(pages[i], program);
  }

  PostMessageA(main, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT_MENU, 0), 0);
  HWND about = WaitForTopWindow(
      Query(pid, "Halvenor", [](HWND h) { return h && GetDlgItem(h, IDC_MAILLINK) != nullptr; }));
  EXPECT_NE(nullptr, about);
  if (about) {
    tour.Shoot("09-about", program);
    ClickButton(about, IDOK);
    WaitForWindowGone(about);
  }

  // The script right-clicks the notification-area icon for this shot.
  tour.Shoot("10-tray-menu", program);
  WindowQuery menu;
  menu.pid = pid;
  menu.className = "#32768";
  HWND popup = WaitForTopWindow(menu, 5000);
  EXPECT_NE(nullptr, popup);
  if (popup) PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);

  program.Kill();
}

}  // namespace
