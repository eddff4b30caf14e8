// Owners of GDI objects and device contexts, released on scope exit.
#pragma once
#include <windows.h>

template <typename H>
class CGdiObject {
 public:
  CGdiObject() = default;
  explicit CGdiObject(H h) : m_h(h) {}
  ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  void Attach(H h) {
    DeleteObject();
    m_h = h;
  }
  void DeleteObject() {
    if (m_h) ::DeleteObject(m_h);
    m_h = nullptr;
  }
  operator H() const { return m_h; }
  H m_h = nullptr;
};

class CPen : public CGdiObject<HPEN> {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color) : CGdiObject(::CreatePen(style, width, color)) {}
};

class CBrush : public CGdiObject<HBRUSH> {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) : CGdiObject(::CreateSolidBrush(color)) {}
  BOOL CreateSolidBrush(COLORREF color) {
    Attach(::CreateSolidBrush(color));
    return m_h != nullptr;
  }
  BOOL CreatePatternBrush(HBITMAP bitmap) {
    Attach(::CreatePatternBrush(bitmap));
    return m_h != nullptr;
  }
};

class CFont : public CGdiObject<HFONT> {
 public:
  BOOL CreateFontIndirect(const LOGFONTA* lf) {
    Attach(::CreateFontIndirectA(lf));
    return m_h != nullptr;
  }
};

class CBitmap : public CGdiObject<HBITMAP> {
 public:
  BOOL LoadBitmap(UINT id) {
    Attach(::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)));
    return m_h != nullptr;
  }
};

// The device context of a whole window, non-client area included.
class CWindowDC {
 public:
  explicit CWindowDC(HWND w) : m_wnd(w), m_hDC(::GetWindowDC(w)) {}
  ~CWindowDC() {
    if (m_hDC) ::ReleaseDC(m_wnd, m_hDC);
  }
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  operator HDC() const { return m_hDC; }

 private:
  HWND m_wnd;

 public:
  HDC m_hDC;
};

class CClientDC {
 public:
  explicit CClientDC(HWND w) : m_wnd(w), m_hDC(::GetDC(w)) {}
  ~CClientDC() {
    if (m_hDC) ::ReleaseDC(m_wnd, m_hDC);
  }
  CClientDC(const CClientDC&) = delete;
  CClientDC& operator=(const CClientDC&) = delete;
  operator HDC() const { return m_hDC; }

 private:
  HWND m_wnd;

 public:
  HDC m_hDC;
};

// BeginPaint/EndPaint around a WM_PAINT handler: validates the update region.
class CPaintDC {
 public:
  explicit CPaintDC(HWND w) : m_wnd(w) { m_hDC = ::BeginPaint(w, &m_ps); }
  ~CPaintDC() { ::EndPaint(m_wnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  operator HDC() const { return m_hDC; }
  PAINTSTRUCT m_ps{};

 private:
  HWND m_wnd;

 public:
  HDC m_hDC = nullptr;
};

// Selects an object into a device context for one scope.
class CSelectObject {
 public:
  CSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
  ~CSelectObject() { ::SelectObject(m_dc, m_old); }
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};
