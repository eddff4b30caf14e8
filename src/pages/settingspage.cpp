#include "pages/settingspage.h"

#include "settings/globals.h"

void PaintPageFrame(HWND hWnd) {
  CWindowDC dc(hWnd);
  if (!dc.m_hDC) return;
  RECT r;
  ::GetWindowRect(hWnd, &r);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  CPen pen(PS_SOLID, 1, kPageFrameColour);
  CSelectObject select(dc, pen);
  ::MoveToEx(dc, 0, 0, nullptr);
  ::LineTo(dc, 0, h);
  ::MoveToEx(dc, 0, 0, nullptr);
  ::LineTo(dc, w, 0);
  ::MoveToEx(dc, w - 1, 0, nullptr);
  ::LineTo(dc, w - 1, h);
  ::MoveToEx(dc, 0, h - 1, nullptr);
  ::LineTo(dc, w - 1, h - 1);
}

CSettingsPage::CSettingsPage(UINT idTemplate, bool whitePage) : CDialog(idTemplate, nullptr) {
  if (whitePage) m_brushWhite.CreateSolidBrush(kPageBackColour);
}

CSettingsPage::~CSettingsPage() = default;

LRESULT CSettingsPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    CPaintDC paint(m_hWnd);  // validates the client area; nothing is drawn into it
    PaintPageFrame(m_hWnd);
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

HBRUSH CSettingsPage::OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor) {
  HBRUSH base = CDialog::OnCtlColor(hdc, hCtl, nCtlColor);
  if (!m_brushWhite.m_h) return base;
  if (nCtlColor == CTLCOLOR_DLG) return m_brushWhite;
  if (nCtlColor == CTLCOLOR_STATIC) {
    ::SetBkColor(hdc, kPageBackColour);
    ::SetTextColor(hdc, kPageLabelColour);
    return m_brushWhite;
  }
  return base;
}

void CSettingsPage::OnSettingChanged() { g_bSettingsChanged = true; }
