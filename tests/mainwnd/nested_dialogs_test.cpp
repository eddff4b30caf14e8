// Dialogs opened over the settings window (About box, password check): a
// close that comes meanwhile waits for them, and none of them stacks.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mainwnd/messages.h"
#include "mainwnd_fixture.h"
#include "pages/programscan.h"
#include "resource.h"
#include "settings/globals.h"

namespace {

constexpr INT_PTR kEndedByTest = 77;  // the window did not end by itself

char* Dup(const char* s) {
  char* p = static_cast<char*>(malloc(strlen(s) + 1));
  strcpy(p, s);
  return p;
}

// The About boxes of this thread that are on the screen; close: each is told to end.
int CountAboutBoxes(HWND* last = nullptr, bool close = false) {
  struct Seen {
    int count = 0;
    HWND last = nullptr;
    bool close = false;
  } seen;
  seen.close = close;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND h, LPARAM p) -> BOOL {
        if (::IsWindowVisible(h) && ::GetDlgItem(h, IDC_MAILLINK)) {
          auto* s = reinterpret_cast<Seen*>(p);
          ++s->count;
          s->last = h;
          if (s->close) ::PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen));
  if (last) *last = seen.last;
  return seen.count;
}

// Runs action once an About box is open, then closes the box.
std::function<void()> g_whileAbout;
void CALLBACK WhileAboutTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND about = nullptr;
  if (!CountAboutBoxes(&about)) return;
  ::KillTimer(nullptr, id);
  auto action = std::move(g_whileAbout);
  g_whileAbout = nullptr;
  if (action) action();
  ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void CALLBACK EndByTest(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  if (HWND main = g_hMainWnd) ::PostMessageA(main, WM_USER + 0x7777, 0, 0);
}

// A table of two known programs, both ticked in the program page's list.
void TickTwoPrograms(TestMainDlg& dlg) {
  StopProgramScan();
  HWND page = dlg.m_programPage.m_hWnd;
  HWND list = ::GetDlgItem(page, IDC_PROGRAM_LIST);
  ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  g_installedPrograms.RemoveAll();
  g_installedPrograms.InitBuckets(1024);
  ASSERT_TRUE(g_installedPrograms.Insert("Alpha", Dup("C:\\Alpha\\alpha.exe")));
  ASSERT_TRUE(g_installedPrograms.Insert("Gamma", Dup("C:\\Gamma\\gamma.exe")));
  ::SendMessageA(page, WM_SCANDONE, 0, 0);
  CListCtrl view;
  view.m_hWnd = list;
  ASSERT_EQ(view.GetItemCount(), 2);
  for (int i = 0; i < 2; ++i) view.SetCheck(i, TRUE);
  view.m_hWnd = nullptr;
}

int ProgramLines(const std::vector<std::string>& lines) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [](const std::string& l) { return l.rfind("program name:", 0) == 0; }));
}

// The window ends the test's way too, so a close that never comes cannot hang it.
class EndableDlg : public TestMainDlg {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_USER + 0x7777) {
      EndDialog(static_cast<int>(kEndedByTest));
      return 0;
    }
    return TestMainDlg::WindowProc(message, wParam, lParam);
  }
};

}  // namespace

TEST_F(MainWindowTest, CloseWaitsForTheNestedDialogAndThenEndsEverything) {
  enum Nested { kAboutFromMenu, kAboutFromSystemMenu, kTrayPrompt, kShowCommandPrompt };
  const struct {
    const char* name;
    Nested nested;
  } cases[] = {{"About box from the menu bar", kAboutFromMenu},
               {"About box from the system menu", kAboutFromSystemMenu},
               {"tray double-click prompt", kTrayPrompt},
               {"show command prompt", kShowCommandPrompt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDefaultSettings();
    boxTexts.clear();
    EndableDlg dlg;
    bool stillOpenAfterExit = false;
    int programsSaved = -1;
    UINT_PTR fallback = 0;
    INT_PTR result = RunModal(dlg, [&] {
      TickTwoPrograms(dlg);
      g_bSettingsChanged = false;
      const bool about = c.nested == kAboutFromMenu || c.nested == kAboutFromSystemMenu;
      // Inside the nested dialog: an exit from the tray, then (the window
      // being shown) a save.
      auto inside = [&] {
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TRAY_EXIT, 0), 0);
        stillOpenAfterExit = ::IsWindow(dlg.m_hWnd) && (dlg.IsWindowVisible() != FALSE) == about;
        if (!about) return;
        boxAnswers = {IDOK};
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
        programsSaved = ProgramLines(MainFileLines());
      };
      switch (c.nested) {
        case kAboutFromMenu:
        case kAboutFromSystemMenu: {
          g_whileAbout = inside;
          UINT_PTR timer = ::SetTimer(nullptr, 0, 20, WhileAboutTimer);
          if (c.nested == kAboutFromMenu)
            dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT_MENU, 0), 0);
          else
            dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
          ::KillTimer(nullptr, timer);
          break;
        }
        case kTrayPrompt:
        case kShowCommandPrompt:
          dlg.ShowWindow(SW_HIDE);
          dlg.duringCheck = inside;
          if (c.nested == kTrayPrompt)
            dlg.SendMessage(WM_TRAYNOTIFY, 128, WM_LBUTTONDBLCLK);
          else
            dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TRAY_SHOW, 0), 0);
          dlg.duringCheck = nullptr;
          // The accepted password does not bring back a window that is closing.
          EXPECT_FALSE(dlg.IsWindowVisible());
          break;
      }
      // After the close nothing runs any more.
      const size_t boxesBefore = boxTexts.size();
      const int checksBefore = dlg.passwordChecks;
      boxAnswers = {IDOK, IDOK};
      for (UINT command : {UINT{IDC_SAVE}, UINT{IDC_EXIT}, UINT{ID_UNINSTALL}, UINT{ID_TRAY_SHOW}})
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
      dlg.SendMessage(WM_TRAYNOTIFY, 128, WM_LBUTTONDBLCLK);
      EXPECT_EQ(boxTexts.size(), boxesBefore);
      EXPECT_EQ(dlg.passwordChecks, checksBefore);
      fallback = ::SetTimer(nullptr, 0, 300, EndByTest);
    });
    ::KillTimer(nullptr, fallback);
    EXPECT_TRUE(stillOpenAfterExit) << "the close ran inside the nested dialog";
    if (c.nested == kAboutFromMenu || c.nested == kAboutFromSystemMenu)
      EXPECT_EQ(programsSaved, 2) << "the save inside the nested dialog lost the chosen programs";
    EXPECT_EQ(result, IDCANCEL) << "the program did not end once the nested dialog was over";
    EXPECT_TRUE(dlg.launches.empty());
  }
}

TEST_F(MainWindowTest, AFloodOfShowCommandsOpensOnePrompt) {
  EndableDlg dlg;
  int nestedChecks = -1;
  RunModal(dlg, [&] {
    dlg.ShowWindow(SW_HIDE);
    dlg.passwordAnswer = false;
    // While the first prompt is open, the flood arrives.
    dlg.duringCheck = [&] {
      dlg.duringCheck = nullptr;
      const int before = dlg.passwordChecks;
      for (int i = 0; i < 50; ++i) dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TRAY_SHOW, 0), 0);
      nestedChecks = dlg.passwordChecks - before;
    };
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TRAY_SHOW, 0), 0);
    EXPECT_EQ(dlg.passwordChecks, 1);
    // Once it is over, the next command asks again.
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TRAY_SHOW, 0), 0);
    EXPECT_EQ(dlg.passwordChecks, 2);
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(nestedChecks, 0);
}

namespace {
struct AboutFlood {
  HWND main = nullptr;
  bool posted = false;
  int most = 0;
  int opened = 0;  // ticks that found a box open
} g_flood;

void CALLBACK AboutFloodTimer(HWND, UINT, UINT_PTR id, DWORD) {
  const int open = CountAboutBoxes();
  g_flood.most = std::max(g_flood.most, open);
  if (open && !g_flood.posted) {
    for (int i = 0; i < 50; ++i) ::PostMessageA(g_flood.main, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT_MENU, 0), 0);
    g_flood.posted = true;
    return;
  }
  if (open) {
    ++g_flood.opened;
    CountAboutBoxes(nullptr, true);
  } else if (g_flood.posted) {
    ::KillTimer(nullptr, id);
  }
}
}  // namespace

TEST_F(MainWindowTest, AFloodOfAboutCommandsOpensOneBox) {
  EndableDlg dlg;
  RunModal(dlg, [&] {
    g_flood = {};
    g_flood.main = dlg.m_hWnd;
    ::SetTimer(nullptr, 0, 20, AboutFloodTimer);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT_MENU, 0), 0);
    // The flood was queued while the box was open; whatever it opens, let it end.
    for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 3000 && CountAboutBoxes();) Pump();
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(g_flood.most, 1) << "About boxes were stacked";
  EXPECT_TRUE(g_flood.posted);
}
