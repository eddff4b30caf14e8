// CBtnSt: a flat owner-drawn push button. It paints its own face, a thin
// frame while hovered or pressed, and a centred caption in the system's
// button colours. Dialogs use it through CXPStyleButtonSt.
#pragma once
#include <windows.h>

#include "framework/controls.h"

// Where a caption measured at the top-left of `area` (measured keeps that
// top-left, its size is the text's) is drawn so that it is centred in `area`.
// Halves truncate toward zero.
RECT CenterCaptionRect(const RECT& area, const RECT& measured);

class CBtnSt : public CButton {
 public:
  CBtnSt();
  ~CBtnSt() override;

  // Colour slots: background and caption for the hot, focus and normal states.
  enum {
    BTNST_COLOR_BK_IN = 0,
    BTNST_COLOR_FG_IN,
    BTNST_COLOR_BK_OUT,
    BTNST_COLOR_FG_OUT,
    BTNST_COLOR_BK_FOCUS,
    BTNST_COLOR_FG_FOCUS,
    BTNST_MAX_COLORS
  };

  BOOL PreTranslateMessage(MSG* pMsg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

  // State as the button sees it.
  bool IsDefault() const { return m_bIsDefault; }
  bool IsHover() const { return m_bMouseOnButton; }
  bool DrawsFrame() const { return m_bDrawBorder; }
  COLORREF GetColor(int index) const { return m_crColors[index]; }
  HWND GetToolTip() const { return m_hToolTip; }

 protected:
  void PreSubclassWindow() override;

  virtual DWORD PaintFace(HDC hdc, const RECT* rect);
  virtual DWORD PaintFrame(HDC hdc, const RECT* rect);
  virtual DWORD PaintCaption(HDC hdc, const char* title, const RECT* item, RECT* caption, BOOL pressed,
                             BOOL disabled);

  void LoadSystemColors();
  void CancelHover();
  void EnsureToolTip();
  void OnMouseMove(UINT flags, POINT pt);

  bool m_bMouseOnButton = false;
  bool m_bIsPressed = false;
  bool m_bIsFocused = false;
  bool m_bIsDisabled = false;
  bool m_bIsDefault = false;
  bool m_bDrawBorder = true;  // hover and press frame
  POINT m_ptPressedOffset = {1, 1};
  COLORREF m_crColors[BTNST_MAX_COLORS] = {};
  HWND m_hToolTip = nullptr;
};
