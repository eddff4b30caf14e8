// The program's private window messages and the windows they go to.
#pragma once
#include <windows.h>

constexpr UINT WM_TRAYNOTIFY = WM_USER + 5;      // from the notification-area icon
constexpr UINT WM_SHOWPAGE = WM_USER + 0x320;    // navigation list: lParam page index or -1

// Published once during the main window's set-up.
extern HWND g_hMainWnd;         // target of WM_SHOWPAGE
extern HWND g_hProgramPageWnd;  // target of the scan's hand-over
