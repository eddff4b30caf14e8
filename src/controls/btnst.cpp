#include "controls/btnst.h"

RECT CenterCaptionRect(const RECT& area, const RECT&) { return area; }
CBtnSt::CBtnSt() {}
CBtnSt::~CBtnSt() {}
BOOL CBtnSt::PreTranslateMessage(MSG*) { return FALSE; }
LRESULT CBtnSt::WindowProc(UINT m, WPARAM w, LPARAM l) { return CButton::WindowProc(m, w, l); }
BOOL CBtnSt::OnChildNotify(UINT m, WPARAM w, LPARAM l, LRESULT* r) { return CButton::OnChildNotify(m, w, l, r); }
void CBtnSt::DrawItem(LPDRAWITEMSTRUCT) {}
void CBtnSt::PreSubclassWindow() {}
DWORD CBtnSt::PaintFace(HDC, const RECT*) { return 0; }
DWORD CBtnSt::PaintFrame(HDC, const RECT*) { return 0; }
DWORD CBtnSt::PaintCaption(HDC, const char*, const RECT*, RECT*, BOOL, BOOL) { return 0; }
void CBtnSt::LoadSystemColors() {}
void CBtnSt::CancelHover() {}
void CBtnSt::EnsureToolTip() {}
void CBtnSt::OnMouseMove(UINT, POINT) {}
