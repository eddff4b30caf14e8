// The settings window's set-up, page navigation and keys.
#include <windows.h>
#include <commctrl.h>

#include "mainwnd/messages.h"
#include "mainwnd_fixture.h"
#include "resource.h"

namespace {

// The pages in navigation order.
std::vector<HWND> NavPages(TestMainDlg& dlg) {
  return {dlg.m_passwordPage.m_hWnd, dlg.m_contentPage.m_hWnd, dlg.m_timePage.m_hWnd,
          dlg.m_programPage.m_hWnd, dlg.m_talkPage.m_hWnd};
}

int VisiblePage(TestMainDlg& dlg) {
  int found = -1;
  auto pages = NavPages(dlg);
  for (int i = 0; i < static_cast<int>(pages.size()); ++i)
    if (::IsWindowVisible(pages[i])) {
      EXPECT_EQ(found, -1) << "two pages visible";
      found = i;
    }
  return found;
}

// A left press in the middle of a navigation item.
void PressItem(TestMainDlg& dlg, int item) {
  RECT r;
  ASSERT_TRUE(dlg.m_navList.GetItemRect(item, &r, LVIR_LABEL));
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::SendMessageA(dlg.m_navList.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageA(dlg.m_navList.m_hWnd, WM_LBUTTONUP, 0, at);
}

}  // namespace

TEST_F(MainWindowTest, StartsWithPasswordPageAndNoSelection) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    EXPECT_EQ(VisiblePage(dlg), 0);
    EXPECT_FALSE(::IsWindowVisible(dlg.m_logPage.m_hWnd));
    EXPECT_EQ(dlg.m_navList.GetItemCount(), 5);
    EXPECT_EQ(dlg.m_navList.GetSelectedCount(), 0);
    const char* expected[] = {"密码设置", "内容过滤设置", "时间限制设置", "程序过滤设置", "聊天限制设置"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(dlg.m_navList.GetItemText(i, 0), expected[i]);
    EXPECT_EQ(dlg.m_saveButton.GetWindowText(), "保存");
    EXPECT_EQ(dlg.m_exitButton.GetWindowText(), "退出");
    EXPECT_FALSE(dlg.m_uninstallButton.IsWindowVisible());
    EXPECT_EQ(g_hMainWnd, dlg.m_hWnd);
    EXPECT_EQ(g_hProgramPageWnd, dlg.m_programPage.m_hWnd);
    // Page area: right two thirds above the 30-pixel button strip.
    RECT client, page;
    dlg.GetClientRect(&client);
    ::GetWindowRect(dlg.m_contentPage.m_hWnd, &page);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&page), 2);
    EXPECT_EQ(page.left, client.right / 3);
    EXPECT_EQ(page.right, client.right);
    EXPECT_EQ(page.bottom, client.bottom - 30);
    // List and pages start under the toolbar, which would otherwise cover the first item.
    RECT bar, list;
    ::GetWindowRect(dlg.m_toolBar.m_hWnd, &bar);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&bar), 2);
    ::GetWindowRect(dlg.m_navList.m_hWnd, &list);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_GT(bar.bottom, 0);
    EXPECT_EQ(page.top, bar.bottom);
    EXPECT_EQ(list.top, bar.bottom);
    EXPECT_EQ(list.right, client.right / 3);
    // The program page lays itself out again in its final size: the switch
    // under the list, the two radios under the switch, all within the page.
    HWND program = dlg.m_programPage.m_hWnd;
    auto rectOf = [&](int id) {
      RECT r;
      ::GetWindowRect(::GetDlgItem(program, id), &r);
      ::MapWindowPoints(nullptr, program, reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    RECT pageClient;
    ::GetClientRect(program, &pageClient);
    const RECT programList = rectOf(IDC_PROGRAM_LIST), sw = rectOf(IDC_PROGRAM_FILTER);
    EXPECT_EQ(programList.bottom, pageClient.bottom - 60);
    EXPECT_EQ(sw.top, programList.bottom);
    for (int radio : {IDC_PROGRAM_DENY, IDC_PROGRAM_ALLOW}) {
      const RECT r = rectOf(radio);
      EXPECT_GE(r.top, sw.bottom) << radio;
      EXPECT_LE(r.bottom, pageClient.bottom) << radio;
    }
    EXPECT_LT(rectOf(IDC_PROGRAM_DENY).left, rectOf(IDC_PROGRAM_ALLOW).left);
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, PublishedHandlesEndWithTheWindow) {
  {
    TestMainDlg dlg;
    RunModal(dlg, [&] { dlg.EndDialog(IDCANCEL); });
  }
  EXPECT_EQ(g_hMainWnd, nullptr);
  EXPECT_EQ(g_hProgramPageWnd, nullptr);
}

TEST_F(MainWindowTest, PressOnEachItemShowsItsPage) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    for (int order : {3, 1, 4, 2, 0, 2}) {
      PressItem(dlg, order);
      EXPECT_EQ(VisiblePage(dlg), order) << "after pressing item " << order;
      EXPECT_FALSE(::IsWindowVisible(dlg.m_logPage.m_hWnd));
    }
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, PressOnEmptySpaceKeepsThePage) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    PressItem(dlg, 2);
    RECT r;
    dlg.m_navList.GetClientRect(&r);
    // Well below the five items.
    ::SendMessageA(dlg.m_navList.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right - 2, r.bottom - 2));
    ::SendMessageA(dlg.m_navList.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(r.right - 2, r.bottom - 2));
    EXPECT_EQ(VisiblePage(dlg), 2);
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, OutOfRangeIndicesChangeNothing) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    PressItem(dlg, 1);
    for (LPARAM index : {LPARAM{-1}, LPARAM{5}, LPARAM{100}, LPARAM{-7}}) {
      EXPECT_EQ(dlg.SendMessage(WM_SHOWPAGE, 0, index), 0);
      EXPECT_EQ(VisiblePage(dlg), 1) << "index " << index;
    }
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, KeyboardSelectionDoesNotSwitch) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    PressItem(dlg, 1);
    dlg.m_navList.SetItemState(3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::SetFocus(dlg.m_navList.m_hWnd);
    ::PostMessageA(dlg.m_navList.m_hWnd, WM_KEYDOWN, VK_DOWN, 0);
    Pump();
    EXPECT_EQ(VisiblePage(dlg), 1);
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, EnterAndEscapeDoNotEndTheWindow) {
  TestMainDlg dlg;
  bool stillOpen = false;
  RunModal(dlg, [&] {
    for (HWND target : {dlg.m_navList.m_hWnd, dlg.m_saveButton.m_hWnd, dlg.m_exitButton.m_hWnd, dlg.m_hWnd}) {
      for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        ::SetFocus(target);
        ::PostMessageA(target, WM_KEYDOWN, key, 0);
        ::PostMessageA(target, WM_KEYUP, key, 0);
        Pump();
      }
    }
    // Keys on a page's own controls go through the page, which does not end either.
    PressItem(dlg, 1);
    HWND box = ::GetDlgItem(dlg.m_contentPage.m_hWnd, IDC_ADULT_FILTER);
    ::SetFocus(box);
    ::PostMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_TRUE(::IsWindowVisible(dlg.m_contentPage.m_hWnd));
    stillOpen = ::IsWindow(dlg.m_hWnd) && dlg.IsWindowVisible();
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(boxTexts.empty());
}

TEST_F(MainWindowTest, CaptionCloseHidesInsteadOfEnding) {
  TestMainDlg dlg;
  bool hidden = false;
  RunModal(dlg, [&] {
    dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    hidden = ::IsWindow(dlg.m_hWnd) && !dlg.IsWindowVisible();
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_TRUE(hidden);
}

TEST_F(MainWindowTest, SystemMenuHasAboutItem) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    HMENU sys = ::GetSystemMenu(dlg.m_hWnd, FALSE);
    char text[64] = {};
    ::GetMenuStringA(sys, IDM_ABOUTBOX, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&About Mossgrave...");
    EXPECT_EQ(::GetDlgCtrlID(dlg.m_toolBar.m_hWnd), 0xE800);
    EXPECT_EQ(dlg.m_toolBar.GetButtonCount(), 1);
    dlg.EndDialog(IDCANCEL);
  });
}
