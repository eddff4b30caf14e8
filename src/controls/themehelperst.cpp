#include "controls/themehelperst.h"

CThemeHelperSt::CThemeHelperSt() {}
CThemeHelperSt::CThemeHelperSt(const char*) {}
CThemeHelperSt::~CThemeHelperSt() {}
HTHEME CThemeHelperSt::OpenThemeData(HWND, LPCWSTR) { return nullptr; }
HRESULT CThemeHelperSt::CloseThemeData(HTHEME) { return E_FAIL; }
HRESULT CThemeHelperSt::DrawThemeBackground(HTHEME, HWND, HDC, int, int, const RECT*, const RECT*) { return E_FAIL; }
BOOL CThemeHelperSt::IsAppThemed() { return FALSE; }
FARPROC CThemeHelperSt::Proc(const char*) const { return nullptr; }
