#include "controls/btnst.h"

#include <commctrl.h>

#include <cassert>
#include <string>

#include "framework/gdi.h"

namespace {
// The low bits of a button style that hold its type.
constexpr UINT kTypeBits = 0x1F;

void FillSolid(HDC hdc, const RECT& r, COLORREF colour) {
  COLORREF old = ::SetBkColor(hdc, colour);
  ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  ::SetBkColor(hdc, old);
}

// One-pixel frame: top and left in one colour, bottom and right in the other.
void Draw3dRect(HDC hdc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  FillSolid(hdc, {r.left, r.top, r.right - 1, r.top + 1}, topLeft);
  FillSolid(hdc, {r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
  FillSolid(hdc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
  FillSolid(hdc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}
}  // namespace

RECT CenterCaptionRect(const RECT& area, const RECT& measured) {
  RECT r = measured;
  int dx = ((area.right - area.left) - (measured.right - measured.left)) / 2;
  int dy = ((area.bottom - area.top) - (measured.bottom - measured.top)) / 2;
  ::OffsetRect(&r, dx, dy);
  return r;
}

CBtnSt::CBtnSt() { LoadSystemColors(); }

CBtnSt::~CBtnSt() {
  if (m_hToolTip && ::IsWindow(m_hToolTip)) ::DestroyWindow(m_hToolTip);
  m_hToolTip = nullptr;
}

void CBtnSt::LoadSystemColors() {
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
  m_crColors[BTNST_COLOR_BK_IN] = face;
  m_crColors[BTNST_COLOR_FG_IN] = text;
  m_crColors[BTNST_COLOR_BK_OUT] = face;
  m_crColors[BTNST_COLOR_FG_OUT] = text;
  m_crColors[BTNST_COLOR_BK_FOCUS] = face;
  m_crColors[BTNST_COLOR_FG_FOCUS] = text;
}

void CBtnSt::PreSubclassWindow() {
  const UINT style = GetButtonStyle();
  if ((style & kTypeBits) == BS_DEFPUSHBUTTON) m_bIsDefault = true;
  assert((style & kTypeBits) != BS_OWNERDRAW);
  ModifyStyle(kTypeBits, BS_OWNERDRAW, SWP_FRAMECHANGED);
  CButton::PreSubclassWindow();
}

void CBtnSt::EnsureToolTip() {
  if (m_hToolTip || !m_hWnd) return;
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  m_hToolTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (!m_hToolTip) return;
  ::SendMessageA(m_hToolTip, TTM_ACTIVATE, FALSE, 0);
  ::SendMessageA(m_hToolTip, TTM_SETMAXTIPWIDTH, 0, 400);
}

BOOL CBtnSt::PreTranslateMessage(MSG* pMsg) {
  EnsureToolTip();
  if (m_hToolTip) ::SendMessageA(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
  // A fast second click presses the button again instead of double-clicking.
  if (pMsg->message == WM_LBUTTONDBLCLK) pMsg->message = WM_LBUTTONDOWN;
  return CButton::PreTranslateMessage(pMsg);
}

void CBtnSt::CancelHover() {
  if (!m_bMouseOnButton) return;
  m_bMouseOnButton = false;
  Invalidate();
}

void CBtnSt::OnMouseMove(UINT flags, POINT pt) {
  POINT screen = pt;
  ::ClientToScreen(m_hWnd, &screen);
  HWND under = ::WindowFromPoint(screen);
  // No hover starts while something is being dragged over the button.
  if ((flags & MK_LBUTTON) && !m_bMouseOnButton) return;
  if (under == m_hWnd) {
    if (!m_bMouseOnButton) {
      m_bMouseOnButton = true;
      Invalidate();
      TRACKMOUSEEVENT tme = {};
      tme.cbSize = sizeof(tme);
      tme.dwFlags = TME_LEAVE;
      tme.hwndTrack = m_hWnd;
      ::_TrackMouseEvent(&tme);
    }
  } else {
    CancelHover();
  }
}

LRESULT CBtnSt::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = Default();
      return code | (m_bIsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    }
    case BM_SETSTYLE: {
      const UINT style = static_cast<UINT>(wParam);
      if ((style & kTypeBits) == BS_DEFPUSHBUTTON)
        m_bIsDefault = true;
      else if ((style & kTypeBits) == BS_PUSHBUTTON)
        m_bIsDefault = false;
      // The dialog manager moves the default with this; stay owner-drawn.
      return ::DefSubclassProc(m_hWnd, message, (style & ~kTypeBits) | BS_OWNERDRAW, lParam);
    }
    case WM_SYSCOLORCHANGE: {
      LRESULT r = Default();
      LoadSystemColors();
      Invalidate();
      return r;
    }
    case WM_MOUSEMOVE: {
      LRESULT r = Default();
      POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      OnMouseMove(static_cast<UINT>(wParam), pt);
      return r;
    }
    case WM_MOUSELEAVE:
      CancelHover();
      return 0;
    case WM_KILLFOCUS:
    case WM_CANCELMODE: {
      LRESULT r = Default();
      CancelHover();
      return r;
    }
    case WM_ACTIVATE: {
      LRESULT r = Default();
      if (LOWORD(wParam) == WA_INACTIVE) CancelHover();
      return r;
    }
    case WM_ENABLE: {
      LRESULT r = Default();
      if (!wParam) {
        HWND parent = GetParent();
        HWND next = parent ? ::GetNextDlgTabItem(parent, m_hWnd, FALSE) : nullptr;
        if (next && next != m_hWnd)
          ::SetFocus(next);
        else if (parent)
          ::SetFocus(parent);
        CancelHover();
      }
      return r;
    }
    default:
      return CButton::WindowProc(message, wParam, lParam);
  }
}

BOOL CBtnSt::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      *pResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) SetFocus();
      return FALSE;  // the parent handles the click as usual
    default:
      return CButton::OnChildNotify(message, wParam, lParam, pResult);
  }
}

void CBtnSt::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
  HDC hdc = lpDIS->hDC;
  m_bIsPressed = (lpDIS->itemState & ODS_SELECTED) != 0;
  m_bIsFocused = (lpDIS->itemState & ODS_FOCUS) != 0;
  m_bIsDisabled = (lpDIS->itemState & ODS_DISABLED) != 0;

  ::SetBkMode(hdc, TRANSPARENT);
  RECT item = lpDIS->rcItem;
  PaintFace(hdc, &item);
  PaintFrame(hdc, &item);

  std::string title = GetWindowText();
  if (!title.empty()) {
    RECT caption = item;
    PaintCaption(hdc, title.c_str(), &item, &caption, m_bIsPressed, m_bIsDisabled);
  }
  // No focus rectangle: the flat look shows no keyboard focus.
}

DWORD CBtnSt::PaintFace(HDC hdc, const RECT* rect) {
  int index = BTNST_COLOR_BK_OUT;
  if (m_bMouseOnButton || m_bIsPressed)
    index = BTNST_COLOR_BK_IN;
  else if (m_bIsFocused)
    index = BTNST_COLOR_BK_FOCUS;
  CBrush brush(m_crColors[index]);
  ::FillRect(hdc, rect, brush);
  return 0;
}

DWORD CBtnSt::PaintFrame(HDC hdc, const RECT* rect) {
  if (!m_bDrawBorder) return 0;
  if (m_bIsPressed)
    Draw3dRect(hdc, *rect, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
  else if (m_bMouseOnButton)
    Draw3dRect(hdc, *rect, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
  return 0;
}

DWORD CBtnSt::PaintCaption(HDC hdc, const char* title, const RECT*, RECT* caption, BOOL pressed, BOOL disabled) {
  if (pressed) ::OffsetRect(caption, m_ptPressedOffset.x, m_ptPressedOffset.y);

  const RECT area = *caption;
  ::DrawTextA(hdc, title, -1, caption, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
  *caption = CenterCaptionRect(area, *caption);

  ::SetBkMode(hdc, TRANSPARENT);
  if (disabled) {
    // Engraved: a light copy one pixel down and right under the shadow.
    ::OffsetRect(caption, 1, 1);
    ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    ::DrawTextA(hdc, title, -1, caption, DT_WORDBREAK | DT_CENTER);
    ::OffsetRect(caption, -1, -1);
    ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNSHADOW));
    ::DrawTextA(hdc, title, -1, caption, DT_WORDBREAK | DT_CENTER);
  } else {
    int fg = BTNST_COLOR_FG_OUT, bk = BTNST_COLOR_BK_OUT;
    if (m_bMouseOnButton || m_bIsPressed) {
      fg = BTNST_COLOR_FG_IN;
      bk = BTNST_COLOR_BK_IN;
    } else if (m_bIsFocused) {
      fg = BTNST_COLOR_FG_FOCUS;
      bk = BTNST_COLOR_BK_FOCUS;
    }
    ::SetTextColor(hdc, m_crColors[fg]);
    ::SetBkColor(hdc, m_crColors[bk]);
    ::DrawTextA(hdc, title, -1, caption, DT_WORDBREAK | DT_CENTER);
  }
  return 0;
}
