// The settings window and the system around it: a restarted shell, the
// navigation images and a change of the system colours.
#include <windows.h>
#include <commctrl.h>

#include "mainwnd/messages.h"
#include "mainwnd_fixture.h"
#include "resource.h"

TEST_F(MainWindowTest, RestartedShellIsLetThroughAndGetsTheIconAgain) {
  const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  ASSERT_NE(0u, taskbarCreated);
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    // The elevated window must let the shell's message through its filter.
    EXPECT_EQ(dlg.allowed, std::vector<UINT>{taskbarCreated});
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    const bool hasFilter = ::GetProcAddress(user32, "ChangeWindowMessageFilterEx") != nullptr;
    EXPECT_EQ(dlg.CMossgraveDlg::AllowMessageFromShell(taskbarCreated), hasFilter);

    ASSERT_EQ(dlg.iconCalls.size(), 1u);
    EXPECT_EQ(dlg.iconCalls[0].message, DWORD{NIM_ADD});
    dlg.iconCalls.clear();
    // A hidden window can come back only through the icon.
    dlg.ShowWindow(SW_HIDE);
    dlg.SendMessage(taskbarCreated);
    ASSERT_EQ(dlg.iconCalls.size(), 1u);
    EXPECT_EQ(dlg.iconCalls[0].message, DWORD{NIM_ADD});
    EXPECT_EQ(dlg.iconCalls[0].hWnd, dlg.m_hWnd);
    EXPECT_EQ(dlg.iconCalls[0].id, 128u);
    EXPECT_EQ(dlg.iconCalls[0].callback, WM_TRAYNOTIFY);
    dlg.EndDialog(IDCANCEL);
  });
}

TEST_F(MainWindowTest, NavigationImagesHaveOneOwner) {
  HIMAGELIST shown = nullptr;
  {
    TestMainDlg dlg;
    RunModal(dlg, [&] {
      shown = ListView_GetImageList(dlg.m_navList.m_hWnd, LVSIL_SMALL);
      EXPECT_EQ(shown, dlg.m_navImages.m_hImageList);
      EXPECT_EQ(ImageList_GetImageCount(shown), 1);
      dlg.EndDialog(IDCANCEL);
    });
    // The list is gone; the images are still whole for their owner, who
    // destroys them once, when the window object goes.
    ASSERT_FALSE(::IsWindow(dlg.m_navList.m_hWnd));
    EXPECT_EQ(ImageList_GetImageCount(dlg.m_navImages), 1);
    IMAGEINFO info = {};
    EXPECT_TRUE(ImageList_GetImageInfo(dlg.m_navImages, 0, &info));
  }
}

TEST_F(MainWindowTest, SystemColourChangeReachesButtonsOfWindowAndPages) {
  const int element = COLOR_BTNFACE;
  const COLORREF oldFace = ::GetSysColor(element);
  const COLORREF newFace = oldFace == RGB(10, 200, 30) ? RGB(30, 10, 200) : RGB(10, 200, 30);
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    CBtnSt* const buttons[] = {&dlg.m_saveButton, &dlg.m_exitButton};
    for (CBtnSt* b : buttons) ASSERT_EQ(b->GetColor(CBtnSt::BTNST_COLOR_BK_OUT), oldFace);
    // The system tells the top-level window only.
    const COLORREF face = newFace;
    ASSERT_TRUE(::SetSysColors(1, &element, &face));
    Pump();
    COLORREF after[2] = {};
    for (int i = 0; i < 2; ++i) after[i] = buttons[i]->GetColor(CBtnSt::BTNST_COLOR_BK_OUT);
    // The page's change button, one dialog further down.
    HWND change = ::GetDlgItem(dlg.m_passwordPage.m_hWnd, IDC_PWD_CHANGE);
    CBtnSt* pageButton = dynamic_cast<CBtnSt*>(CWnd::FromHandlePermanent(change));
    const COLORREF pageAfter = pageButton ? pageButton->GetColor(CBtnSt::BTNST_COLOR_BK_OUT) : CLR_INVALID;
    const COLORREF restore = oldFace;
    ::SetSysColors(1, &element, &restore);
    Pump();
    for (COLORREF c : after) EXPECT_EQ(c, newFace);
    ASSERT_NE(pageButton, nullptr);
    EXPECT_EQ(pageAfter, newFace);
    for (CBtnSt* b : buttons) EXPECT_EQ(b->GetColor(CBtnSt::BTNST_COLOR_BK_OUT), oldFace);
    dlg.EndDialog(IDCANCEL);
  });
}
