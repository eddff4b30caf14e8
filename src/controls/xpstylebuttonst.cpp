#include "controls/xpstylebuttonst.h"

#include <vssym32.h>

int ChoosePushButtonState(bool defaulted, bool hot, bool pressed, bool disabled) {
  int state = PBS_NORMAL;
  if (defaulted) state = PBS_DEFAULTED;
  if (hot) state = PBS_HOT;
  if (pressed) state = PBS_PRESSED;
  if (disabled) state = PBS_DISABLED;
  return state;
}

// A themed button draws no frame of its own; AttachThemeHelper decides.
CXPStyleButtonSt::CXPStyleButtonSt() { m_bDrawBorder = false; }

void CXPStyleButtonSt::AttachThemeHelper(CThemeHelperSt* helper) {
  m_pTheme = helper;
  if (!m_pTheme || !m_pTheme->IsAppThemed()) m_bDrawBorder = true;
}

DWORD CXPStyleButtonSt::PaintFace(HDC hdc, const RECT* rect) {
  if (!m_pTheme || !m_pTheme->IsAppThemed()) return CBtnSt::PaintFace(hdc, rect);
  HTHEME theme = m_pTheme->OpenThemeData(m_hWnd, L"BUTTON");
  if (!theme) return CBtnSt::PaintFace(hdc, rect);
  const int state = ChoosePushButtonState(m_bIsDefault, m_bMouseOnButton, m_bIsPressed, m_bIsDisabled);
  m_pTheme->DrawThemeBackground(theme, m_hWnd, hdc, BP_PUSHBUTTON, state, rect, nullptr);
  m_pTheme->CloseThemeData(theme);
  return 0;
}

DWORD CXPStyleButtonSt::PaintFrame(HDC hdc, const RECT* rect) {
  if (m_pTheme && m_pTheme->IsAppThemed()) return 0;
  return CBtnSt::PaintFrame(hdc, rect);
}
