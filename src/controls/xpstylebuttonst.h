// CXPStyleButtonSt: the flat button with the desktop theme's push button as
// its face when themes are active.
#pragma once
#include "controls/btnst.h"
#include "controls/themehelperst.h"

// The theme state of a push button (PBS_*): disabled beats pressed, pressed
// beats hot, hot beats defaulted, else normal.
int ChoosePushButtonState(bool defaulted, bool hot, bool pressed, bool disabled);

class CXPStyleButtonSt : public CBtnSt {
 public:
  CXPStyleButtonSt();

  // The dialog's helper (not owned). Decides the frame flag once: the flat
  // frame is drawn only when there is no theme to draw one.
  void AttachThemeHelper(CThemeHelperSt* helper);
  CThemeHelperSt* GetThemeHelper() const { return m_pTheme; }

 protected:
  DWORD PaintFace(HDC hdc, const RECT* rect) override;
  DWORD PaintFrame(HDC hdc, const RECT* rect) override;

  CThemeHelperSt* m_pTheme = nullptr;
};
