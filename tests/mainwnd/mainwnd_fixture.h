// A settings window in the test process, with scripted message boxes, a
// simulated catalogue and the password check and shell launches recorded.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "mainwnd/mossgravedlg.h"
#include "provider/simcatalogue.h"

class TestMainDlg : public CMossgraveDlg {
 public:
  bool CheckPassword() override {
    ++passwordChecks;
    if (duringCheck) duringCheck();
    return passwordAnswer;
  }
  BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data) override {
    iconCalls.push_back({message, data->hWnd, data->uID, data->uCallbackMessage});
    return TRUE;
  }
  bool AllowMessageFromShell(UINT message) override {
    allowed.push_back(message);
    return CMossgraveDlg::AllowMessageFromShell(message);
  }
  struct IconCall {
    DWORD message;
    HWND hWnd;
    UINT id;
    UINT callback;
  };
  std::function<void()> duringCheck;  // runs while the password check is open
  std::vector<IconCall> iconCalls;
  std::vector<UINT> allowed;
  void ShellOpen(const char* file, const char* parameters) override {
    launches.push_back(std::string(file) + "|" + parameters);
  }
  bool passwordAnswer = true;
  int passwordChecks = 0;
  std::vector<std::string> launches;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the given settings text to both files.
  static void WriteSettings(const std::string& text);
  static void WriteDefaultSettings();
  // Lines of the main file (CR LF removed); empty when unreadable.
  static std::vector<std::string> MainFileLines();
  static std::string MainFileBytes();
  static std::string BackupFileBytes();

  // Runs the window modally; body runs inside its modal loop and may end it.
  // Answers DoModal's result; the body is failed if the window ends before it.
  INT_PTR RunModal(TestMainDlg& dlg, std::function<void()> body);
  // Dispatches whatever is queued for this thread, through the modal loop's hooks.
  static void Pump();

  // Answers the next boxes in order with these (IDOK, IDCANCEL); further boxes get IDCANCEL.
  std::deque<int> boxAnswers;
  std::vector<std::string> boxTexts;
  CSimCatalogue catalogue;
  ICatalogue* previousCatalogue = nullptr;
};

// Presses a page's or window's button the way a click does.
void Click(HWND button);
