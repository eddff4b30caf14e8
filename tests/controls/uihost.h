// A top-level dialog-class window to host controls under test, with the
// framework's reflection, and a message pump that goes through the same
// pre-translation as the program's modal loops.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/wnd.h"

class TestHost : public CWnd {
 public:
  explicit TestHost(int x = 120, int y = 120, int w = 360, int h = 220);
  ~TestHost() override;

  // A child control of `cls` with the given style (WS_CHILD | WS_VISIBLE added).
  HWND AddChild(const char* cls, int id, const char* text, DWORD style, int x, int y, int w, int h);

  // Counts every WM_COMMAND notification code that reaches the parent.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  int Notifications(int code) const;
  void ResetNotifications() { m_codes.clear(); }

 private:
  std::vector<int> m_codes;
};

// Processes messages for `ms` milliseconds (at least one pass).
void Pump(int ms = 0);

// A 32-bit memory bitmap selected into a DC, for reading painted pixels.
class MemCanvas {
 public:
  MemCanvas(int w, int h);
  ~MemCanvas();
  HDC dc() const { return m_dc; }
  COLORREF Pixel(int x, int y) const { return ::GetPixel(m_dc, x, y); }
  void Fill(COLORREF c);
  // Bounding box of the pixels of colour c; empty when there are none.
  RECT BoundsOf(COLORREF c) const;
  int w, h;

 private:
  HDC m_dc;
  HBITMAP m_bmp;
  HGDIOBJ m_old;
};
