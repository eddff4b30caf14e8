// What every settings page shares: the steel-blue frame over the page's
// one-pixel border, the white background with dark-green labels, and the
// handler by which a page reports a change the user made.
#pragma once
#include "framework/afxwin.h"

constexpr COLORREF kPageFrameColour = RGB(70, 130, 180);
constexpr COLORREF kPageBackColour = RGB(255, 255, 255);
constexpr COLORREF kPageLabelColour = RGB(0, 100, 0);

// Draws the outermost ring of the window's pixels in steel blue.
void PaintPageFrame(HWND hWnd);

class CSettingsPage : public CDialog {
 public:
  // whitePage: the page owns a white brush and colours its labels; otherwise
  // the system's dialog colours stay.
  CSettingsPage(UINT idTemplate, bool whitePage);
  ~CSettingsPage() override;

  BOOL OnInitDialog() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  HBRUSH OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor) override;

 protected:
  // Marks the settings as changed since the last save; nothing else.
  void OnSettingChanged();
  // Check state of a button child, 0 when it is missing.
  static int CheckOf(const CButton& b) { return b.m_hWnd ? b.GetCheck() : 0; }

  CBrush m_brushWhite;
};
