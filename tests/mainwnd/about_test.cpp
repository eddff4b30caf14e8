// The About box, from the system menu and from the menu bar.
#include <cstring>

#include "mainwnd/aboutdlg.h"
#include "mainwnd_fixture.h"
#include "resource.h"

namespace {

struct AboutSeen {
  HWND main = nullptr;
  bool seen = false;
  std::string version, link;
  bool linkUnderlined = false;
} g_about;

BOOL CALLBACK FindAbout(HWND h, LPARAM) {
  if (h == g_about.main || !::IsWindowVisible(h)) return TRUE;
  HWND link = ::GetDlgItem(h, IDC_MAILLINK);
  if (!link) return TRUE;
  char text[128] = {};
  ::GetWindowTextA(link, text, sizeof text);
  g_about.link = text;
  for (HWND c = ::GetWindow(h, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    ::GetWindowTextA(c, text, sizeof text);
    if (strstr(text, "version")) g_about.version = text;
  }
  LOGFONTA lf = {};
  HFONT font = reinterpret_cast<HFONT>(::SendMessageA(link, WM_GETFONT, 0, 0));
  g_about.linkUnderlined = font && ::GetObjectA(font, sizeof lf, &lf) && lf.lfUnderline;
  g_about.seen = true;
  ::PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return FALSE;
}

void CALLBACK CloseAbout(HWND, UINT, UINT_PTR id, DWORD) {
  ::EnumThreadWindows(::GetCurrentThreadId(), FindAbout, 0);
  if (g_about.seen) ::KillTimer(nullptr, id);
}

}  // namespace

TEST_F(MainWindowTest, AboutBoxFromSystemMenuAndMenuBar) {
  TestMainDlg dlg;
  RunModal(dlg, [&] {
    struct {
      const char* name;
      UINT message;
      WPARAM wParam;
    } const ways[] = {{"system menu", WM_SYSCOMMAND, IDM_ABOUTBOX}, {"menu bar", WM_COMMAND, ID_APP_ABOUT_MENU}};
    for (const auto& way : ways) {
      SCOPED_TRACE(way.name);
      g_about = {};
      g_about.main = dlg.m_hWnd;
      UINT_PTR timer = ::SetTimer(nullptr, 0, 20, CloseAbout);
      dlg.SendMessage(way.message, way.wParam, 0);  // returns once the box is closed
      ::KillTimer(nullptr, timer);
      EXPECT_TRUE(g_about.seen);
      EXPECT_EQ(g_about.version, "Halvenor version 2.0");
      EXPECT_EQ(g_about.link, std::string("Email:") + kContactAddress);
      EXPECT_TRUE(g_about.linkUnderlined) << "the contact link is always underlined";
    }
    dlg.EndDialog(IDCANCEL);
  });
}
