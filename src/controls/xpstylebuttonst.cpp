#include "controls/xpstylebuttonst.h"

int ChoosePushButtonState(bool, bool, bool, bool) { return 1; }
CXPStyleButtonSt::CXPStyleButtonSt() {}
void CXPStyleButtonSt::AttachThemeHelper(CThemeHelperSt* helper) { m_pTheme = helper; }
DWORD CXPStyleButtonSt::PaintFace(HDC hdc, const RECT* r) { return CBtnSt::PaintFace(hdc, r); }
DWORD CXPStyleButtonSt::PaintFrame(HDC hdc, const RECT* r) { return CBtnSt::PaintFrame(hdc, r); }
