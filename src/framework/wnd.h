// CWnd: an HWND plus the hooks the program's windows need. A CWnd attaches to
// an existing window by subclassing it; its WindowProc sees every message and
// passes what it does not handle on with Default().
#pragma once
#include <windows.h>

#include <string>

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The CWnd attached to a window, or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  // Called with m_hWnd set, before the window procedure is hooked.
  virtual void PreSubclassWindow() {}
  // Offered every message of the modal loops before it is dispatched, for the
  // target window and then each of its parents; TRUE swallows the message.
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Processes the current message the way the window would without us.
  LRESULT Default();

  // WM_COMMAND and WM_NOTIFY that no child took for itself: TRUE when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // WM_CTLCOLOR*: the base lets the control answer for itself first.
  virtual HBRUSH OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor);
  // A notification of this window reflected back from its parent
  // (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_CTLCOLOR*). TRUE stops the parent
  // from handling it; *pResult is then the message's result.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // After WM_NCDESTROY, once the window is gone.
  virtual void PostNcDestroy() {}

  // Thin helpers.
  LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
  BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
  BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
  void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) const { ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
  void MoveWindow(const RECT& r, BOOL repaint = TRUE) const { MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint); }
  void GetClientRect(RECT* r) const { ::GetClientRect(m_hWnd, r); }
  void GetWindowRect(RECT* r) const { ::GetWindowRect(m_hWnd, r); }
  void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
  void SetWindowText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }
  int GetWindowText(char* buf, int cap) const { return ::GetWindowTextA(m_hWnd, buf, cap); }
  std::string GetWindowText() const;
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  HWND SetFocus() const { return ::SetFocus(m_hWnd); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const;
  HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
  void SetFont(HFONT font, BOOL redraw = TRUE) const { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
  BOOL DestroyWindow();
  // Lays out the control bars whose ids lie in [first, last] along the edges.
  void RepositionBars(UINT first, UINT last) const;

 protected:
  // The message being processed, for Default().
  struct CurrentMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };
  CurrentMessage m_current;

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Detach();
  bool m_subclassed = false;
};

// Offers a message to the PreTranslateMessage of its target window and of the
// target's parents up to the top-level window. TRUE: the message was taken.
BOOL AfxPreTranslateMessage(MSG* pMsg);
