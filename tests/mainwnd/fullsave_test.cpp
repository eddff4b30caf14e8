// What a full save writes, read back from the settings file.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mainwnd_fixture.h"
#include "pages/programscan.h"
#include "resource.h"
#include "settings/globals.h"
#include "settingsfiles.h"

namespace {

void SetCheck(HWND page, int id, int state) { ::SendDlgItemMessageA(page, id, BM_SETCHECK, state, 0); }

// Saves with the window as the test left it and answers the lines written.

std::vector<std::string> Between(const std::vector<std::string>& lines, const std::string& from,
                                 const std::string& to) {
  auto a = std::find(lines.begin(), lines.end(), from);
  auto b = std::find(lines.begin(), lines.end(), to);
  if (a == lines.end() || b == lines.end() || b < a) return {"<missing " + from + " or " + to + ">"};
  return std::vector<std::string>(a + 1, b);
}

char* Dup(const char* s) {
  char* p = static_cast<char*>(malloc(strlen(s) + 1));
  strcpy(p, s);
  return p;
}

}  // namespace

TEST_F(MainWindowTest, EveryControlClearedWritesZeros) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    HWND content = dlg.m_contentPage.m_hWnd;
    for (int id : {IDC_ADULT_FILTER, IDC_DEGREE_HIGH, IDC_DEGREE_MEDIUM, IDC_DEGREE_LOW, IDC_POPUP_FILTER,
                   IDC_FLASH_FILTER, IDC_VIDEO_FILTER})
      SetCheck(content, id, BST_UNCHECKED);
    SetCheck(dlg.m_timePage.m_hWnd, IDC_TIME_LIMIT, BST_UNCHECKED);
    SetCheck(dlg.m_logPage.m_hWnd, IDC_LOG_ENABLE, BST_UNCHECKED);
    ::SetDlgItemTextA(dlg.m_logPage.m_hWnd, IDC_LOG_DAYS, "");
    SetCheck(dlg.m_programPage.m_hWnd, IDC_PROGRAM_FILTER, BST_UNCHECKED);
    boxAnswers = {IDOK};
    Click(dlg.m_saveButton.m_hWnd);
    dlg.EndDialog(IDCANCEL);
  });
  auto lines = MainFileLines();
  const std::vector<std::string> head(lines.begin(), lines.begin() + std::min<size_t>(lines.size(), 11));
  EXPECT_EQ(head, (std::vector<std::string>{"Password:480273", "Enable log:0", "Log save time:",
                                            "Enable adult filter:0", "Adult filter degree:0", "Flash Window filter:0",
                                            "Open Window filter:0", "Web Video filter:0", "Enable program filter:0",
                                            "Program filter type:0", "Program list:"}));
}

TEST_F(MainWindowTest, TickedSettingsAreWrittenInTheirPlaces) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    HWND content = dlg.m_contentPage.m_hWnd;
    Click(::GetDlgItem(content, IDC_ADULT_FILTER));
    Click(::GetDlgItem(content, IDC_DEGREE_LOW));
    Click(::GetDlgItem(content, IDC_VIDEO_FILTER));
    HWND talk = dlg.m_talkPage.m_hWnd;
    for (int id : {IDC_TALK_SINAUC, IDC_TALK_ICQ, IDC_TALK_MSN}) Click(::GetDlgItem(talk, id));
    Click(::GetDlgItem(dlg.m_timePage.m_hWnd, IDC_TIME_LIMIT));
    Click(::GetDlgItem(dlg.m_programPage.m_hWnd, IDC_PROGRAM_ALLOW));
    boxAnswers = {IDOK};
    Click(dlg.m_saveButton.m_hWnd);
    dlg.EndDialog(IDCANCEL);
  });
  auto lines = MainFileLines();
  auto has = [&](const char* l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
  EXPECT_TRUE(has("Enable adult filter:1"));
  EXPECT_TRUE(has("Adult filter degree:3"));
  EXPECT_TRUE(has("Web Video filter:1"));
  EXPECT_TRUE(has("Enable time limit:1"));
  EXPECT_TRUE(has("Program filter type:1"));
  // Chat lines in the chat table's order, ICQ with its two names.
  EXPECT_EQ(Between(lines, "Program list:", "Enable time limit:1"),
            (std::vector<std::string>{"Talk limit name:icq.exe", "Talk limit name:icqlite.exe",
                                      "Talk limit name:msmsgs.exe", "Talk limit name:sinauc.exe"}));
}

TEST_F(MainWindowTest, CheckedProgramsKnownToTheTableAreWritten) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    // Replace whatever the real scan found by a known table.
    StopProgramScan();
    HWND page = dlg.m_programPage.m_hWnd;
    HWND list = ::GetDlgItem(page, IDC_PROGRAM_LIST);
    ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    g_installedPrograms.RemoveAll();
    g_installedPrograms.InitBuckets(1024);
    ASSERT_TRUE(g_installedPrograms.Insert("Alpha", Dup("C:\\Alpha\\alpha.exe")));
    ASSERT_TRUE(g_installedPrograms.Insert("Beta", Dup("C:\\Beta\\")));
    ASSERT_TRUE(g_installedPrograms.Insert("Gamma", Dup("C:\\Gamma\\gamma.exe")));
    ::SendMessageA(page, WM_SCANDONE, 0, 0);
    ASSERT_EQ(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);
    // A ticked item the table does not know is left out.
    CListCtrl view;
    view.m_hWnd = list;
    view.InsertItem(3, "Ghost");
    for (int i = 0; i < 4; ++i)
      if (view.GetItemText(i, 0) != "Beta") view.SetCheck(i, TRUE);
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i)
      if (view.GetItemText(i, 0) != "Beta" && view.GetItemText(i, 0) != "Ghost") order.push_back(view.GetItemText(i, 0));
    view.m_hWnd = nullptr;
    boxAnswers = {IDOK};
    Click(dlg.m_saveButton.m_hWnd);

    auto lines = MainFileLines();
    std::vector<std::string> expected;
    for (const auto& name : order) {
      expected.push_back("program name:" + name);
      expected.push_back("program path:" + std::string(name == "Alpha" ? "C:\\Alpha\\alpha.exe" : "C:\\Gamma\\gamma.exe"));
    }
    EXPECT_EQ(Between(lines, "Program list:", "Enable time limit:0"), expected);
    dlg.EndDialog(IDCANCEL);
  });
}

namespace {
const char kTooLong[] = "设置内容超出了设置文件的容量,没有保存任何设置。请减少选中的程序后再保存。";
const char kNotWritten[] = "无法写入设置文件,没有保存任何设置。请稍后再保存。";
const char kPartly[] = "只有一个设置文件写入成功,设置只保存了一部分,下次启动可能仍是旧的设置。请再保存一次。";

// Holds a file open without sharing, as another program can.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path)
      : h_(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldFile() {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  bool held() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

// So many ticked programs with long paths that the text exceeds the file.
void TickProgramsBeyondTheLimit(TestMainDlg& dlg) {
  StopProgramScan();
  HWND page = dlg.m_programPage.m_hWnd;
  HWND list = ::GetDlgItem(page, IDC_PROGRAM_LIST);
  ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  g_installedPrograms.RemoveAll();
  g_installedPrograms.InitBuckets(1024);
  const std::string folder = "C:\\" + std::string(230, 'p') + "\\";
  for (int i = 0; i < 420; ++i) {
    const std::string name = "Program " + std::to_string(i);
    ASSERT_TRUE(g_installedPrograms.Insert(name.c_str(), Dup((folder + name + ".exe").c_str())));
  }
  ::SendMessageA(page, WM_SCANDONE, 0, 0);
  CListCtrl view;
  view.m_hWnd = list;
  // The rows go in over several turns of the message loop.
  for (int turn = 0; turn < 2000 && view.GetItemCount() < 420; ++turn) {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageA(&m);
    }
    ::Sleep(5);
  }
  ASSERT_EQ(view.GetItemCount(), 420);
  for (int i = 0; i < 420; ++i) view.SetCheck(i, TRUE);
  view.m_hWnd = nullptr;
}
}  // namespace

TEST_F(MainWindowTest, EveryFailedWriteOfASaveIsToldAndTheChangeKept) {
  enum Cause { kMainHeld, kBackupHeld, kBothHeld, kTextTooLong };
  const struct {
    const char* name;
    Cause cause;
    bool byExit;
    const char* report;
    bool mainKept, backupKept;
  } cases[] = {
      {"main file held open", kMainHeld, false, kPartly, true, false},
      {"backup held open", kBackupHeld, false, kPartly, false, true},
      {"both held open", kBothHeld, false, kNotWritten, true, true},
      {"text over the limit", kTextTooLong, false, kTooLong, true, true},
      {"exit's save, main held open: the window stays", kMainHeld, true, kPartly, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDefaultSettings();
    boxTexts.clear();
    const std::string mainBefore = MainFileBytes(), backupBefore = BackupFileBytes();
    TestMainDlg dlg;
    RunModal(dlg, [&] {
      if (c.cause == kTextTooLong) TickProgramsBeyondTheLimit(dlg);
      g_bSettingsChanged = true;
      HeldFile main(c.cause == kMainHeld || c.cause == kBothHeld ? MainSettingsPath() : std::string());
      HeldFile backup(c.cause == kBackupHeld || c.cause == kBothHeld ? BackupSettingsPath() : std::string());
      boxAnswers = {IDOK, IDOK};
      Click(c.byExit ? dlg.m_exitButton.m_hWnd : dlg.m_saveButton.m_hWnd);
      ASSERT_FALSE(boxTexts.empty());
      EXPECT_EQ(boxTexts.back(), c.report);
      EXPECT_TRUE(g_bSettingsChanged) << "the parent must still be asked to save";
      EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
      dlg.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(MainFileBytes() == mainBefore, c.mainKept);
    EXPECT_EQ(BackupFileBytes() == backupBefore, c.backupKept);
  }
}
