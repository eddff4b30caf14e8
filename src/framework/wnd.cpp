#include "framework/wnd.h"

#include <commctrl.h>

#include <unordered_map>

namespace {
// Which object owns which window. Only the user-interface thread touches it.
std::unordered_map<HWND, CWnd*>& Map() {
  static std::unordered_map<HWND, CWnd*> map;
  return map;
}
constexpr UINT_PTR kSubclassId = 0x4D47;  // one CWnd per window
}  // namespace

CWnd::~CWnd() {
  if (m_hWnd && ::IsWindow(m_hWnd)) UnsubclassWindow();
  Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (!hWnd) return nullptr;
  auto it = Map().find(hWnd);
  return it == Map().end() ? nullptr : it->second;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!hWnd || m_hWnd || FromHandlePermanent(hWnd)) return FALSE;
  m_hWnd = hWnd;
  Map()[hWnd] = this;
  PreSubclassWindow();
  if (!::SetWindowSubclass(hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    Detach();
    return FALSE;
  }
  m_subclassed = true;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  HWND h = m_hWnd;
  if (h && m_subclassed) ::RemoveWindowSubclass(h, SubclassProc, kSubclassId);
  Detach();
  return h;
}

void CWnd::Detach() {
  if (m_hWnd) {
    auto it = Map().find(m_hWnd);
    if (it != Map().end() && it->second == this) Map().erase(it);
  }
  m_hWnd = nullptr;
  m_subclassed = false;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData) {
  CWnd* self = reinterpret_cast<CWnd*>(refData);
  CurrentMessage saved = self->m_current;
  self->m_current = {message, wParam, lParam};
  LRESULT result = self->WindowProc(message, wParam, lParam);
  self->m_current = saved;
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
    self->Detach();
    self->PostNcDestroy();
  }
  return result;
}

LRESULT CWnd::Default() {
  return ::DefSubclassProc(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

HBRUSH CWnd::OnCtlColor(HDC, HWND hCtl, UINT) {
  if (hCtl != m_hWnd) {
    if (CWnd* child = FromHandlePermanent(hCtl)) {
      LRESULT r = 0;
      if (child->OnChildNotify(m_current.message, m_current.wParam, m_current.lParam, &r))
        return reinterpret_cast<HBRUSH>(r);
    }
  }
  return reinterpret_cast<HBRUSH>(Default());
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      LRESULT r = 0;
      CWnd* child = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
      if (child && child != this && child->OnChildNotify(message, wParam, lParam, &r)) return r;
      if (OnCommand(wParam, lParam)) return 0;
      return Default();
    }
    case WM_NOTIFY: {
      LRESULT r = 0;
      const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
      CWnd* child = nm ? FromHandlePermanent(nm->hwndFrom) : nullptr;
      if (child && child != this && child->OnChildNotify(message, wParam, lParam, &r)) return r;
      r = 0;
      if (OnNotify(wParam, lParam, &r)) return r;
      return Default();
    }
    case WM_DRAWITEM: {
      LRESULT r = 0;
      const DRAWITEMSTRUCT* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      CWnd* child = (d && d->CtlType != ODT_MENU) ? FromHandlePermanent(d->hwndItem) : nullptr;
      if (child && child != this && child->OnChildNotify(message, wParam, lParam, &r)) return TRUE;
      return Default();
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message - WM_CTLCOLORMSGBOX));
    default:
      return Default();
  }
}

std::string CWnd::GetWindowText() const {
  int n = ::GetWindowTextLengthA(m_hWnd);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = ::GetWindowTextA(m_hWnd, s.data(), n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) const {
  DWORD style = GetStyle();
  DWORD updated = (style & ~remove) | add;
  if (style == updated) return FALSE;
  ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(updated));
  if (swpFlags)
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  HWND h = m_hWnd;
  BOOL ok = ::DestroyWindow(h);
  if (FromHandlePermanent(h) == this) Detach();
  return ok;
}

void CWnd::RepositionBars(UINT first, UINT last) const {
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    UINT id = static_cast<UINT>(::GetDlgCtrlID(child));
    if (id >= first && id <= last) ::SendMessageA(child, TB_AUTOSIZE, 0, 0);
  }
}

BOOL AfxPreTranslateMessage(MSG* pMsg) {
  for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
    if (CWnd* w = CWnd::FromHandlePermanent(h))
      if (w->PreTranslateMessage(pMsg)) return TRUE;
    if (!(::GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return FALSE;
}
