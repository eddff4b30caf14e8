// UI tests of the settings pages: the real page dialogs as children of a
// plain test window, the prefix's real settings files.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "settings/globals.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "testutil.h"

inline std::string PagesMainPath() {
  char p[kPathSize] = {};
  GetMainSettingsPath(p);
  return p;
}

// A settings text of the given lines, each ended with CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string t;
  for (const std::string& l : lines) t += l + "\r\n";
  return t;
}

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsFiles();
    g_bSettingsChanged = false;
    HWND h = ::CreateWindowExA(0, "STATIC", "pages host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500,
                               nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(h, nullptr);
    host_.SubclassWindow(h);
  }
  void TearDown() override {
    HWND h = host_.UnsubclassWindow();
    if (h) ::DestroyWindow(h);
    DeleteSettingsFiles();
    SetMessageBoxHook({});
    g_chosenPrograms.RemoveAll();
    g_installedPrograms.RemoveAll();
    g_bSettingsChanged = false;
  }
  static void Store(const std::string& text) { ASSERT_TRUE(WriteSettingsFile(PagesMainPath().c_str(), text.c_str())); }
  static void StoreDefault() { Store(BuildDefaultSettingsText()); }

  // Creates the page as a shown child of the host, as the main window does.
  void Open(CDialog& page, UINT id) {
    ASSERT_TRUE(page.Create(id, &host_));
    page.MoveWindow(10, 10, 420, 330);
    page.ShowWindow(SW_SHOW);
  }
  static void Click(const CWnd& page, int id) { ::SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0); }
  static int Check(const CWnd& page, int id) {
    return static_cast<int>(::SendMessageA(page.GetDlgItem(id), BM_GETCHECK, 0, 0));
  }
  static void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageA(&m);
    }
  }

  CWnd host_;
};
