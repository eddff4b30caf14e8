#include "uihost.h"

#include <string>

#include "framework/dialog.h"

TestHost::TestHost(int x, int y, int w, int h) {
  // Keep the real mouse off the controls unless a test puts it there: a
  // window created under the cursor gets real mouse moves.
  ::SetCursorPos(2, 2);
  Pump(30);  // let the moves of earlier tests arrive before the window is there
  // The dialog class gives the dialog manager's defaults (DM_SETDEFID, tab order).
  HWND hwnd = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_CONTROLPARENT, "#32770", "host",
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, h, nullptr, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
  SubclassWindow(hwnd);
}

TestHost::~TestHost() { DestroyWindow(); }

HWND TestHost::AddChild(const char* cls, int id, const char* text, DWORD style, int x, int y, int w, int h) {
  return ::CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
}

BOOL TestHost::OnCommand(WPARAM wParam, LPARAM) {
  m_codes.push_back(HIWORD(wParam));
  return FALSE;
}

int TestHost::Notifications(int code) const {
  int n = 0;
  for (int c : m_codes) n += c == code;
  return n;
}

void Pump(int ms) {
  DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (AfxPreTranslateMessage(&msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    if (ms > 0) ::Sleep(5);
  } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

MemCanvas::MemCanvas(int w_, int h_) : w(w_), h(h_) {
  HDC screen = ::GetDC(nullptr);
  m_dc = ::CreateCompatibleDC(screen);
  m_bmp = ::CreateCompatibleBitmap(screen, w, h);
  ::ReleaseDC(nullptr, screen);
  m_old = ::SelectObject(m_dc, m_bmp);
}

MemCanvas::~MemCanvas() {
  ::SelectObject(m_dc, m_old);
  ::DeleteObject(m_bmp);
  ::DeleteDC(m_dc);
}

void MemCanvas::Fill(COLORREF c) {
  HBRUSH b = ::CreateSolidBrush(c);
  RECT r = {0, 0, w, h};
  ::FillRect(m_dc, &r, b);
  ::DeleteObject(b);
}

RECT MemCanvas::BoundsOf(COLORREF c) const {
  RECT r = {w, h, 0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (Pixel(x, y) == c) {
        if (x < r.left) r.left = x;
        if (y < r.top) r.top = y;
        if (x + 1 > r.right) r.right = x + 1;
        if (y + 1 > r.bottom) r.bottom = y + 1;
      }
  if (r.right <= r.left) r = {0, 0, 0, 0};
  return r;
}
