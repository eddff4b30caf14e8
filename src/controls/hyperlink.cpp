#include "controls/hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cassert>
#include <cstdio>
#include <cstring>

#include "framework/msgbox.h"

namespace {
// First occurrence of `needle` that starts on a character boundary of the
// ANSI code page (a trail byte of a double-byte character is never a start).
const char* FindMultibyte(const char* text, const char* needle) {
  const size_t n = std::strlen(needle);
  for (const char* p = text; *p;) {
    if (std::strncmp(p, needle, n) == 0) return p;
    if (::IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1])
      p += 2;
    else
      ++p;
  }
  return nullptr;
}

const char* ErrorDetail(int code) {
  switch (code) {
    case 0: return "The operating system is out\nof memory or resources.";
    case SE_ERR_FNF: return "The specified file was not found.";
    case SE_ERR_PNF: return "The specified path was not found.";
    case SE_ERR_ACCESSDENIED: return "The operating system denied\naccess to the specified file.";
    case SE_ERR_OOM: return "There was not enough memory to complete the operation.";
    case ERROR_BAD_FORMAT: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case SE_ERR_SHARE: return "A sharing violation occurred. ";
    case SE_ERR_ASSOCINCOMPLETE: return "The filename association is\nincomplete or invalid.";
    case SE_ERR_DDETIMEOUT: return "The DDE transaction could not\nbe completed because the request timed out.";
    case SE_ERR_DDEFAIL: return "The DDE transaction failed.";
    case SE_ERR_DDEBUSY:
      return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
    case SE_ERR_NOASSOC: return "There is no application associated\nwith the given filename extension.";
    case SE_ERR_DLLNOTFOUND: return "The specified dynamic-link library was not found.";
    default: return nullptr;
  }
}
}  // namespace

std::string HyperlinkErrorText(int code) {
  std::string text = "Unable to open hyperlink:\n\n";
  if (const char* detail = ErrorDetail(code)) {
    text += detail;
  } else {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "Unknown Error (%d) occurred.", code);
    text += buf;
  }
  return text;
}

bool BuildBrowserCommandLine(const char* command, const char* target, char* out, size_t cap) {
  if (!out || cap == 0) return false;
  out[0] = '\0';
  if (!command) command = "";
  if (!target) target = "";
  size_t keep = std::strlen(command);
  if (const char* quoted = FindMultibyte(command, "\"%1\""))
    keep = static_cast<size_t>(quoted - command);
  else if (const char* bare = FindMultibyte(command, "%1"))
    keep = static_cast<size_t>(bare - command);
  const size_t targetLen = std::strlen(target);
  // Refused rather than cut: a shortened target would open something else.
  if (keep + 1 + targetLen + 1 > cap) return false;
  std::memcpy(out, command, keep);
  out[keep] = ' ';
  std::memcpy(out + keep + 1, target, targetLen);
  out[keep + 1 + targetLen] = '\0';
  return true;
}

CHyperlink::CHyperlink() = default;

CHyperlink::~CHyperlink() {
  if (m_hToolTip && ::IsWindow(m_hToolTip)) ::DestroyWindow(m_hToolTip);
  m_hToolTip = nullptr;
  if (m_hLinkCursor) ::DestroyCursor(m_hLinkCursor);
  m_hLinkCursor = nullptr;
}

void CHyperlink::PreSubclassWindow() {
  ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(GetStyle() | SS_NOTIFY));

  std::string text = GetWindowText();
  if (m_strURL.empty()) m_strURL = text;
  if (text.empty()) SetWindowText(m_strURL.c_str());
  assert(!m_strURL.empty());

  HFONT font = GetFont();
  if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (!font) font = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
  assert(font);
  LOGFONTA lf = {};
  if (font && ::GetObjectA(font, sizeof(lf), &lf)) {
    m_StdFont.CreateFontIndirect(&lf);
    lf.lfUnderline = TRUE;
    m_UnderlineFont.CreateFontIndirect(&lf);
  }

  FitToText();
  LoadLinkCursor();
  // The font for the mode already set (a mode set before subclassing holds).
  HFONT current = m_nUnderline == 1 ? m_UnderlineFont : m_StdFont;
  if (current) SetFont(current, FALSE);

  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  m_hToolTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (m_hToolTip) {
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = m_hWnd;
    ti.uId = 1;
    GetClientRect(&ti.rect);
    ti.lpszText = const_cast<char*>(m_strURL.c_str());
    ::SendMessageA(m_hToolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
  CStatic::PreSubclassWindow();
}

void CHyperlink::SetLinkTarget(const char* target) {
  m_strURL = target ? target : "";
  if (!m_hWnd || !::IsWindow(m_hWnd)) return;
  FitToText();
  if (m_hToolTip) {
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = m_hWnd;
    ti.uId = 1;
    ti.lpszText = const_cast<char*>(m_strURL.c_str());
    ::SendMessageA(m_hToolTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void CHyperlink::SetUnderlineMode(int mode) {
  if (mode != m_nUnderline && m_hWnd && ::IsWindow(m_hWnd)) {
    HFONT font = mode == 1 ? m_UnderlineFont : m_StdFont;
    if (font) SetFont(font, FALSE);
    Invalidate();
  }
  m_nUnderline = mode;
}

void CHyperlink::MarkVisited(bool visited) {
  m_bVisited = visited;
  if (m_hWnd && ::IsWindow(m_hWnd)) Invalidate();
}

void CHyperlink::FitToText() {
  if (!m_bAdjustToFit || !m_hWnd || !::IsWindow(m_hWnd)) return;
  HWND parent = GetParent();
  RECT wnd, client;
  GetWindowRect(&wnd);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&wnd), 2);
  GetClientRect(&client);
  ::MapWindowPoints(m_hWnd, parent, reinterpret_cast<POINT*>(&client), 2);

  std::string text = GetWindowText();
  SIZE extent = {0, 0};
  {
    CClientDC dc(m_hWnd);
    HGDIOBJ font = m_UnderlineFont ? static_cast<HGDIOBJ>(m_UnderlineFont) : ::GetStockObject(DEFAULT_GUI_FONT);
    CSelectObject select(dc, font);
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  }
  const int wndW = wnd.right - wnd.left, wndH = wnd.bottom - wnd.top;
  const int textW = extent.cx + wndW - (client.right - client.left);
  const int textH = extent.cy + wndH - (client.bottom - client.top);

  const DWORD style = GetStyle();
  if (style & SS_CENTERIMAGE) {
    const int d = (wndH - textH) / 2;
    wnd.top += d;
    wnd.bottom -= d;
  } else {
    wnd.bottom = wnd.top + textH;
  }
  const DWORD align = style & SS_TYPEMASK;
  if (align == SS_CENTER) {
    const int d = (wndW - textW) / 2;
    wnd.left += d;
    wnd.right -= d;
  } else if (align == SS_RIGHT) {
    wnd.left = wnd.right - textW;
  } else {
    wnd.right = wnd.left + textW;
  }
  ::SetWindowPos(m_hWnd, nullptr, wnd.left, wnd.top, wnd.right - wnd.left, wnd.bottom - wnd.top, SWP_NOZORDER);
}

void CHyperlink::LoadLinkCursor() {
  if (m_hLinkCursor) return;
  char dir[MAX_PATH];
  UINT n = ::GetWindowsDirectoryA(dir, sizeof(dir));
  if (n == 0 || n >= sizeof(dir)) return;
  std::string path = std::string(dir) + "\\winhlp32.exe";
  // Only its resources are wanted: map it as data, run none of its code.
  HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return;
  if (HCURSOR hand = ::LoadCursorA(module, MAKEINTRESOURCEA(106)))
    m_hLinkCursor = static_cast<HCURSOR>(::CopyIcon(reinterpret_cast<HICON>(hand)));
  ::FreeLibrary(module);
}

bool CHyperlink::ReadClassesRootValue(const char* key, std::string* value) {
  value->clear();
  HKEY h = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
  char buf[MAX_PATH] = {};
  LONG size = sizeof(buf);
  if (::RegQueryValueA(h, nullptr, buf, &size) == ERROR_SUCCESS) value->assign(buf, strnlen(buf, sizeof(buf)));
  ::RegCloseKey(h);
  return true;
}

INT_PTR CHyperlink::OpenLink(const char* target, int showCmd) {
  INT_PTR result =
      reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", target, nullptr, nullptr, showCmd));
  if (result > HINSTANCE_ERROR) return result;

  // The shell could not: start the browser registered for web pages.
  std::string fileClass, command;
  if (!ReadClassesRootValue(".htm", &fileClass)) return result;
  if (!ReadClassesRootValue((fileClass + "\\shell\\open\\command").c_str(), &command)) return result;
  char line[kBrowserCommandCap];
  if (!BuildBrowserCommandLine(command.c_str(), target, line, sizeof(line))) return result;
  return static_cast<INT_PTR>(::WinExec(line, static_cast<UINT>(showCmd)));
}

void CHyperlink::ReportError(int code) { AfxMessageBox(HyperlinkErrorText(code).c_str(), MB_ICONEXCLAMATION); }

BOOL CHyperlink::PreTranslateMessage(MSG* pMsg) {
  if (m_hToolTip) ::SendMessageA(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
  return CStatic::PreTranslateMessage(pMsg);
}

LRESULT CHyperlink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(&r);
      ::FillRect(reinterpret_cast<HDC>(wParam), &r, ::GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_MOUSEMOVE:
      if (!m_bOverControl) {
        m_bOverControl = true;
        if (m_nUnderline == -1 && m_UnderlineFont) SetFont(m_UnderlineFont, FALSE);
        Invalidate();
        ::SetTimer(m_hWnd, m_nTimerID, 100, nullptr);
      }
      return Default();
    case WM_TIMER:
      if (wParam == m_nTimerID) {
        DWORD pos = ::GetMessagePos();
        POINT pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
        ::ScreenToClient(m_hWnd, &pt);
        RECT r;
        GetClientRect(&r);
        if (!::PtInRect(&r, pt)) {
          m_bOverControl = false;
          ::KillTimer(m_hWnd, m_nTimerID);
          if (m_nUnderline != 1 && m_StdFont) SetFont(m_StdFont, FALSE);
          r.bottom += 10;
          ::InvalidateRect(m_hWnd, &r, TRUE);
        }
      }
      return Default();
    case WM_SETCURSOR:
      if (m_hLinkCursor) {
        ::SetCursor(m_hLinkCursor);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      ::KillTimer(m_hWnd, m_nTimerID);
      return Default();
    default:
      return CStatic::WindowProc(message, wParam, lParam);
  }
}

BOOL CHyperlink::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_CTLCOLORSTATIC) {
    HDC hdc = reinterpret_cast<HDC>(wParam);
    COLORREF colour = m_bOverControl ? m_crHoverColour : m_bVisited ? m_crVisitedColour : m_crLinkColour;
    ::SetTextColor(hdc, colour);
    ::SetBkMode(hdc, TRANSPARENT);
    *pResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    m_bOverControl = false;
    INT_PTR result = OpenLink(m_strURL.c_str(), SW_SHOW);
    if (result > HINSTANCE_ERROR) {
      MarkVisited(true);
    } else {
      ::MessageBeep(MB_ICONEXCLAMATION);
      ReportError(static_cast<int>(result));
    }
    *pResult = 0;
    return TRUE;
  }
  return CStatic::OnChildNotify(message, wParam, lParam, pResult);
}
