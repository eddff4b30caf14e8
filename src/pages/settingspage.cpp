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

namespace {
// Visual styles draw group boxes, check boxes and radio buttons in the
// theme's colours whatever WM_CTLCOLORSTATIC says; those of a white page go
// unthemed so their captions keep the page's colours. Push buttons keep it.
void UnthemeColouredControls(HWND page) {
  // Loaded by the common controls where styles are active; absent, nothing is themed.
  HMODULE uxtheme = ::GetModuleHandleA("uxtheme.dll");
  using SetThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  using GetThemeFn = HANDLE(WINAPI*)(HWND);
  auto setTheme = uxtheme ? reinterpret_cast<SetThemeFn>(reinterpret_cast<void*>(
                                ::GetProcAddress(uxtheme, "SetWindowTheme")))
                          : nullptr;
  auto getTheme = uxtheme ? reinterpret_cast<GetThemeFn>(reinterpret_cast<void*>(
                                ::GetProcAddress(uxtheme, "GetWindowTheme")))
                          : nullptr;
  if (!setTheme || !getTheme) return;
  for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char cls[16] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") != 0) continue;
    switch (::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK) {
      case BS_GROUPBOX:
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        setTheme(child, L"", L"");
        // Some implementations ignore the empty names; a class list that
        // names no class has the same effect there.
        if (getTheme(child)) setTheme(child, L" ", L" ");
        break;
      default:
        break;
    }
  }
}
}  // namespace

BOOL CSettingsPage::OnInitDialog() {
  BOOL result = CDialog::OnInitDialog();
  if (m_brushWhite.m_h) UnthemeColouredControls(m_hWnd);
  return result;
}

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
