// CHyperlink: a static text turned into a link. Link colours, a hand cursor,
// a tooltip with the target, and a click opens the target with the shell or,
// failing that, with the browser registered for ".htm".
#pragma once
#include <windows.h>

#include <string>

#include "framework/controls.h"
#include "framework/gdi.h"

// The message shown when opening fails with `code` (32 or less).
std::string HyperlinkErrorText(int code);

// Size of the fallback's command-line buffer, terminator included.
constexpr size_t kBrowserCommandCap = 520;

// Builds the browser command line from the registered command and the
// target: the command is cut at its first quoted "%1" (at the opening quote)
// or else at its first bare "%1", then a space and the target follow.
// Returns false and leaves `out` empty when the result does not fit in `cap`
// bytes with its terminator; nothing is ever written past out[cap - 1].
bool BuildBrowserCommandLine(const char* command, const char* target, char* out, size_t cap);

class CHyperlink : public CStatic {
 public:
  static constexpr COLORREF kLinkColor = RGB(0, 0, 238);
  static constexpr COLORREF kVisitedColor = RGB(85, 26, 139);
  static constexpr COLORREF kHoverColor = RGB(255, 0, 0);
  static constexpr UINT_PTR kTimerId = 100;

  CHyperlink();
  ~CHyperlink() override;

  void SetLinkTarget(const char* target);
  const std::string& GetLinkTarget() const { return m_strURL; }
  // 1: always underlined; -1: only while hovered; other: never.
  void SetUnderlineMode(int mode);
  int GetUnderlineMode() const { return m_nUnderline; }
  void MarkVisited(bool visited = true);
  bool IsVisited() const { return m_bVisited; }
  bool IsHover() const { return m_bOverControl; }
  HCURSOR GetLinkCursor() const { return m_hLinkCursor; }
  HWND GetToolTip() const { return m_hToolTip; }

  // Opens the target; a result above 32 is success, else an error code.
  virtual INT_PTR OpenLink(const char* target, int showCmd);

  BOOL PreTranslateMessage(MSG* pMsg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

 protected:
  void PreSubclassWindow() override;
  // Reads the unnamed value of a key under HKEY_CLASSES_ROOT (260 bytes at
  // most); false when the key cannot be opened.
  virtual bool ReadClassesRootValue(const char* key, std::string* value);
  void ReportError(int code);
  void FitToText();
  void LoadLinkCursor();

  COLORREF m_crLinkColour = kLinkColor;
  COLORREF m_crVisitedColour = kVisitedColor;
  COLORREF m_crHoverColour = kHoverColor;
  bool m_bOverControl = false;
  bool m_bVisited = false;
  int m_nUnderline = -1;
  bool m_bAdjustToFit = true;
  std::string m_strURL;
  CFont m_UnderlineFont;
  CFont m_StdFont;
  HCURSOR m_hLinkCursor = nullptr;
  HWND m_hToolTip = nullptr;
  UINT_PTR m_nTimerID = kTimerId;
};
