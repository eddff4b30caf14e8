#include "controls/themehelperst.h"

#include "framework/systemlibrary.h"

namespace {
using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
using DrawThemeParentBackgroundFn = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
using IsAppThemedFn = BOOL(WINAPI*)();

template <typename Fn>
Fn As(FARPROC p) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}
}  // namespace

CThemeHelperSt::CThemeHelperSt() : CThemeHelperSt("UxTheme.dll") {}

CThemeHelperSt::CThemeHelperSt(const char* libraryName) {
  m_hDll = libraryName ? LoadSystemLibrary(libraryName) : nullptr;
}

CThemeHelperSt::~CThemeHelperSt() {
  if (m_hDll) ::FreeLibrary(m_hDll);
  m_hDll = nullptr;
}

// Looked up on every call: nothing is cached.
FARPROC CThemeHelperSt::Proc(const char* name) const { return m_hDll ? ::GetProcAddress(m_hDll, name) : nullptr; }

HTHEME CThemeHelperSt::OpenThemeData(HWND hwnd, LPCWSTR classList) {
  auto fn = As<OpenThemeDataFn>(Proc("OpenThemeData"));
  return fn ? fn(hwnd, classList) : nullptr;
}

HRESULT CThemeHelperSt::CloseThemeData(HTHEME theme) {
  auto fn = As<CloseThemeDataFn>(Proc("CloseThemeData"));
  return fn ? fn(theme) : E_FAIL;
}

HRESULT CThemeHelperSt::DrawThemeBackground(HTHEME theme, HWND hwnd, HDC hdc, int partId, int stateId,
                                            const RECT* rect, const RECT* clipRect) {
  if (hwnd) {
    if (auto parentBg = As<DrawThemeParentBackgroundFn>(Proc("DrawThemeParentBackground"))) parentBg(hwnd, hdc, rect);
  }
  auto fn = As<DrawThemeBackgroundFn>(Proc("DrawThemeBackground"));
  return fn ? fn(theme, hdc, partId, stateId, rect, clipRect) : E_FAIL;
}

BOOL CThemeHelperSt::IsAppThemed() {
  auto fn = As<IsAppThemedFn>(Proc("IsAppThemed"));
  return fn ? fn() : FALSE;
}
