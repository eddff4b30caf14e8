// Save, exit and uninstall flows, the tray double click and the show command.
#include <cstring>

#include "mainwnd/messages.h"
#include "mainwnd_fixture.h"
#include "pages/programscan.h"
#include "provider/filterprovider.h"
#include "resource.h"
#include "settings/globals.h"
#include "settings/passwordcheck.h"

namespace {

const char kSaveQuestion[] = "确定要保存参数吗?";
const char kExitQuestion[] = "配置已更改,是否保存?";
const char kUninstallQuestion[] = "确定要卸载本软件吗?";

bool HasInstallDate(const std::vector<std::string>& lines) {
  for (const auto& l : lines)
    if (l.rfind("install date:", 0) == 0) return true;
  return false;
}

}  // namespace

TEST_F(MainWindowTest, SaveAnsweredNoWritesNothingAndKeepsTheFlag) {
  const std::string before = MainFileBytes();
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    g_bSettingsChanged = true;
    boxAnswers = {IDCANCEL};
    Click(dlg.m_saveButton.m_hWnd);
    EXPECT_EQ(boxTexts, std::vector<std::string>{kSaveQuestion});
    EXPECT_TRUE(g_bSettingsChanged);
    EXPECT_EQ(MainFileBytes(), before);
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, SaveWithoutChangesStillAsksAndRewritesBothFiles) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    boxAnswers = {IDOK};
    Click(dlg.m_saveButton.m_hWnd);
    EXPECT_EQ(boxTexts, std::vector<std::string>{kSaveQuestion});
    dlg.EndDialog(IDCANCEL);
  });
  auto lines = MainFileLines();
  ASSERT_FALSE(lines.empty());
  // The default settings come back in the save's order, with the two lines a save adds.
  std::vector<std::string> expected = {"Password:480273", "Enable log:0", "Log save time:3",
                                       "Enable adult filter:0", "Adult filter degree:1", "Flash Window filter:0",
                                       "Open Window filter:0", "Web Video filter:0", "Enable program filter:0",
                                       "Program filter type:0", "Program list:", "Enable time limit:0"};
  for (const char* day : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"}) {
    expected.push_back(std::string(day) + "StartTime:00:00:00");
    expected.push_back(std::string(day) + "EndTime:23:59:59");
  }
  ASSERT_EQ(lines.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
  EXPECT_EQ(lines.back().rfind("install date:", 0), 0u);
  EXPECT_EQ(lines.back().back(), '\n');
  EXPECT_EQ(MainFileBytes(), BackupFileBytes());
  EXPECT_FALSE(g_bSettingsChanged);
}

TEST_F(MainWindowTest, SaveClearsTheFlag) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    g_bSettingsChanged = true;
    boxAnswers = {IDOK};
    Click(dlg.m_saveButton.m_hWnd);
    EXPECT_FALSE(g_bSettingsChanged);
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, ExitAnswerMatrix) {
  struct Case {
    const char* name;
    bool changed;
    std::deque<int> answers;
    std::vector<std::string> questions;
    bool saved;
  };
  const Case cases[] = {
      {"no change", false, {}, {}, false},
      {"change, no", true, {IDCANCEL}, {kExitQuestion}, false},
      {"change, yes then no", true, {IDOK, IDCANCEL}, {kExitQuestion, kSaveQuestion}, false},
      {"change, yes and yes", true, {IDOK, IDOK}, {kExitQuestion, kSaveQuestion}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDefaultSettings();
    boxTexts.clear();
    TestMainDlg dlg;
    INT_PTR result = RunModal(dlg, [&] {
      g_bSettingsChanged = c.changed;
      boxAnswers = c.answers;
      Click(dlg.m_exitButton.m_hWnd);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxTexts, c.questions);
    EXPECT_EQ(HasInstallDate(MainFileLines()), c.saved);
    EXPECT_EQ(g_installedPrograms.GetCount(), 0);
  }
}

TEST_F(MainWindowTest, EveryExitCommandRunsTheExitFlow) {
  for (UINT command : {UINT{IDC_EXIT}, UINT{ID_TRAY_EXIT}, UINT{ID_FILE_EXIT}}) {
    SCOPED_TRACE(command);
    boxTexts.clear();
    TestMainDlg dlg;
    INT_PTR result = RunModal(dlg, [&] {
      g_bSettingsChanged = true;
      boxAnswers = {IDCANCEL};
      dlg.SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxTexts, std::vector<std::string>{kExitQuestion});
  }
}

TEST_F(MainWindowTest, ClickedBackStillAsksPasswordChangeAloneDoesNot) {
  {
    TestMainDlg dlg;
    RunModal(dlg, [&] {
      HWND box = ::GetDlgItem(dlg.m_contentPage.m_hWnd, IDC_POPUP_FILTER);
      Click(box);
      Click(box);
      boxAnswers = {IDCANCEL};
      Click(dlg.m_exitButton.m_hWnd);
    });
    EXPECT_EQ(boxTexts, std::vector<std::string>{kExitQuestion});
  }
  boxTexts.clear();
  g_bSettingsChanged = false;
  {
    TestMainDlg dlg;
    RunModal(dlg, [&] {
      HWND page = dlg.m_passwordPage.m_hWnd;
      ::SetDlgItemTextA(page, IDC_PWD_OLD, "480273");
      ::SetDlgItemTextA(page, IDC_PWD_NEW, "newpass");
      ::SetDlgItemTextA(page, IDC_PWD_CONFIRM, "newpass");
      boxAnswers = {IDOK};
      Click(::GetDlgItem(page, IDC_PWD_CHANGE));
      Click(dlg.m_exitButton.m_hWnd);
    });
    EXPECT_EQ(boxTexts, std::vector<std::string>{"确定要更新密码吗?"});
    const std::string line = MainFileLines().at(0);
    ASSERT_EQ(line.compare(0, 9, "Password:"), 0);
    EXPECT_EQ(MatchStoredPassword("newpass", line.c_str() + 9), PasswordMatch::kHash);
  }
}

TEST_F(MainWindowTest, UninstallNeedsThePasswordAndTheAnswer) {
  struct Case {
    const char* name;
    bool password;
    std::deque<int> answers;
    std::vector<std::string> questions;
  };
  const Case refused[] = {
      {"wrong password", false, {}, {}},
      {"answered no", true, {IDCANCEL}, {kUninstallQuestion}},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.name);
    WriteDefaultSettings();
    boxTexts.clear();
    const std::string before = MainFileBytes();
    TestMainDlg dlg;
    dlg.passwordAnswer = c.password;
    bool open = false;
    RunModal(dlg, [&] {
      boxAnswers = c.answers;
      dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_UNINSTALL, 0), 0);
      Pump();
      open = ::IsWindow(dlg.m_hWnd) != FALSE;
      dlg.EndDialog(IDOK);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(dlg.passwordChecks, 1);
    EXPECT_EQ(boxTexts, c.questions);
    EXPECT_EQ(MainFileBytes(), before);
    EXPECT_TRUE(dlg.launches.empty());
  }
}

TEST_F(MainWindowTest, UninstallRemovesFilesAndProviderAndStartsTheUninstaller) {
  catalogue.AddBaseProvider(L"MSAFD Tcpip [TCP/IP]", AF_INET, IPPROTO_TCP, SOCK_STREAM, 0);
  catalogue.AddBaseProvider(L"MSAFD Tcpip [UDP/IP]", AF_INET, IPPROTO_UDP, SOCK_DGRAM, 0);
  catalogue.AddBaseProvider(L"MSAFD Tcpip [RAW/IP]", AF_INET, 0, SOCK_RAW, 0);
  InstallFilterProvider();
  ASSERT_EQ(catalogue.Records().size(), 7u);

  for (UINT command : {UINT{ID_UNINSTALL}, UINT{IDC_UNINSTALL}}) {
    SCOPED_TRACE(command);
    WriteDefaultSettings();
    boxTexts.clear();
    TestMainDlg dlg;
    INT_PTR result = RunModal(dlg, [&] {
      g_bSettingsChanged = true;  // unsaved changes are not offered for saving
      boxAnswers = {IDOK};
      dlg.SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxTexts, std::vector<std::string>{kUninstallQuestion});
    EXPECT_TRUE(MainFileBytes().empty());
    EXPECT_TRUE(BackupFileBytes().empty());
    EXPECT_EQ(catalogue.Records().size(), 3u);
    ASSERT_EQ(dlg.launches.size(), 1u);
    const std::string& launch = dlg.launches[0];
    EXPECT_NE(launch.find("\\unins000.exe|/silent"), std::string::npos) << launch;
  }
}

TEST_F(MainWindowTest, NoFlowRunsInsideAnOpenQuestion) {
  TestMainDlg dlg;
  INT_PTR result = RunModal(dlg, [&] {
    // While the save question is open, an exit and a close arrive.
    SetMessageBoxHook([&](const char* text, const char*, UINT) {
      boxTexts.push_back(text);
      if (boxTexts.size() == 1) {
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_EXIT, 0), 0);
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_UNINSTALL, 0), 0);
        dlg.SendMessage(WM_CLOSE);
        EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
        return IDOK;
      }
      return IDCANCEL;
    });
    g_bSettingsChanged = true;
    Click(dlg.m_saveButton.m_hWnd);
  });
  // The save ran with the window whole, then the waiting close ended it.
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(boxTexts, std::vector<std::string>{kSaveQuestion});
  EXPECT_EQ(dlg.passwordChecks, 0);
  EXPECT_TRUE(HasInstallDate(MainFileLines()));
}

TEST_F(MainWindowTest, TrayDoubleClickRules) {
  enum State { kShown, kMinimised, kHidden, kHiddenWhileMinimised };
  struct Case {
    const char* name;
    State state;
    bool promptOpen;
    bool password;
    int checks;
    bool visibleAfter;
    bool iconicAfter;
  };
  const Case cases[] = {
      {"shown: nothing", kShown, false, true, 0, true, false},
      {"minimised: restored without password", kMinimised, false, true, 0, true, false},
      {"hidden: password accepted", kHidden, false, true, 1, true, false},
      {"hidden: password cancelled", kHidden, false, false, 1, false, false},
      {"hidden while minimised comes back minimised", kHiddenWhileMinimised, false, true, 1, true, true},
      {"prompt open: ignored", kHidden, true, true, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestMainDlg dlg;
    dlg.passwordAnswer = c.password;
    RunModal(dlg, [&] {
      if (c.state == kMinimised || c.state == kHiddenWhileMinimised) dlg.ShowWindow(SW_MINIMIZE);
      if (c.state == kHidden || c.state == kHiddenWhileMinimised) dlg.ShowWindow(SW_HIDE);
      g_bPromptOpen = c.promptOpen;
      dlg.SendMessage(WM_TRAYNOTIFY, 128, WM_LBUTTONDBLCLK);
      g_bPromptOpen = false;
      EXPECT_EQ(dlg.passwordChecks, c.checks);
      EXPECT_EQ(dlg.IsWindowVisible() != FALSE, c.visibleAfter);
      EXPECT_EQ(dlg.IsIconic() != FALSE, c.iconicAfter);
      // A single left click and other mouse messages do nothing.
      dlg.SendMessage(WM_TRAYNOTIFY, 128, WM_LBUTTONUP);
      dlg.SendMessage(WM_TRAYNOTIFY, 128, WM_MOUSEMOVE);
      EXPECT_EQ(dlg.passwordChecks, c.checks);
      dlg.EndDialog(IDCANCEL);
    });
  }
}

TEST_F(MainWindowTest, ShowCommandAsksOnlyWhenHidden) {
  struct Case {
    const char* name;
    int show;
    int checks;
  };
  const Case cases[] = {{"visible", SW_SHOW, 0}, {"minimised", SW_MINIMIZE, 0}, {"hidden", SW_HIDE, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestMainDlg dlg;
    RunModal(dlg, [&] {
      dlg.ShowWindow(c.show);
      // The show command does not look at an open prompt.
      g_bPromptOpen = true;
      dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TRAY_SHOW, 0), 0);
      g_bPromptOpen = false;
      EXPECT_EQ(dlg.passwordChecks, c.checks);
      EXPECT_TRUE(dlg.IsWindowVisible());
      dlg.EndDialog(IDCANCEL);
    });
  }
}

TEST_F(MainWindowTest, HelpOpensTheHelpFileOfTheProgramDirectory) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_HELP_TOPICS, 0), 0);
    dlg.EndDialog(IDCANCEL);
  });
  ASSERT_EQ(dlg.launches.size(), 1u);
  EXPECT_NE(dlg.launches[0].find("\\Telvaris.chm|"), std::string::npos) << dlg.launches[0];
}
