#include "mainwnd/leftlist.h"

#include <windowsx.h>

#include "framework/gdi.h"
#include "mainwnd/messages.h"

namespace {
constexpr COLORREF kFrameColour = RGB(70, 130, 180);
}

LRESULT CLeftList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCPAINT: {
      // Left, top and bottom edges only: the right edge borders the page area.
      RECT r;
      GetWindowRect(&r);
      int w = r.right - r.left, h = r.bottom - r.top;
      CWindowDC dc(m_hWnd);
      CPen pen(PS_SOLID, 1, kFrameColour);
      CSelectObject sel(dc, pen);
      MoveToEx(dc, 0, 0, nullptr);
      LineTo(dc, 0, h);
      MoveToEx(dc, 0, 0, nullptr);
      LineTo(dc, w, 0);
      MoveToEx(dc, 0, h - 1, nullptr);
      LineTo(dc, w, h - 1);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      int index = HitTest(pt);
      // The page switches on the press itself, before the list selects anything.
      if (g_hMainWnd) ::SendMessageA(g_hMainWnd, WM_SHOWPAGE, 0, index);
      return Default();
    }
    default:
      return CListCtrl::WindowProc(message, wParam, lParam);
  }
}
