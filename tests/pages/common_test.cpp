#include <memory>

#include "pages/contentfilterdlg.h"
#include "pages/logdlg.h"
#include "pages/passwordsetupdlg.h"
#include "pages/programselectedsetupdlg.h"
#include "pages/talklimitdlg.h"
#include "pages/timelimitdlg.h"
#include "pagesfixture.h"
#include "resource.h"

namespace {
struct PageKind {
  const char* name;
  UINT id;
  bool white;
  std::unique_ptr<CDialog> (*make)();
};

template <typename T>
std::unique_ptr<CDialog> Make() {
  return std::make_unique<T>();
}

const PageKind kPages[] = {
    {"content", IDD_CONTENT_FILTER, true, Make<CContentFilterDlg>},
    {"program", IDD_PROGRAM_SELECTED, false, Make<CProgramSelectedSetupDlg>},
    {"time", IDD_TIME_LIMIT, true, Make<CTimeLimitDlg>},
    {"chat", IDD_TALK_LIMIT, true, Make<CTalkLimitDlg>},
    {"log", IDD_LOG, true, Make<CLogDlg>},
    {"password", IDD_PASSWORD_SETUP, true, Make<CPasswordSetupDlg>},
};

class CommonPageTest : public PageTest {};

TEST_F(CommonPageTest, FramePaintedInSteelBlueAfterUncoveringAndResizing) {
  StoreDefault();
  for (const PageKind& k : kPages) {
    SCOPED_TRACE(k.name);
    std::unique_ptr<CDialog> page = k.make();
    Open(*page, k.id);
    for (int size : {0, 60}) {
      page->MoveWindow(10, 10, 400 - size, 300 - size);
      ::RedrawWindow(*page, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
      Pump();
      RECT r;
      page->GetWindowRect(&r);
      const int w = r.right - r.left, h = r.bottom - r.top;
      EXPECT_EQ(w, 400 - size);
      HDC dc = ::GetWindowDC(*page);
      const POINT corners[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, 0}, {0, h / 2},
                               {w - 1, h / 2}, {w / 2, h - 1}};
      for (const POINT& p : corners)
        EXPECT_EQ(::GetPixel(dc, p.x, p.y), kPageFrameColour) << p.x << "," << p.y;
      ::ReleaseDC(*page, dc);
    }
  }
}

TEST_F(CommonPageTest, ColoursOfThePageAndItsLabels) {
  StoreDefault();
  HDC dc = ::CreateCompatibleDC(nullptr);
  for (const PageKind& k : kPages) {
    SCOPED_TRACE(k.name);
    std::unique_ptr<CDialog> page = k.make();
    Open(*page, k.id);
    HWND label = ::GetWindow(*page, GW_CHILD);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkColor(dc, RGB(4, 5, 6));
    HBRUSH dlg = reinterpret_cast<HBRUSH>(
        ::SendMessageA(*page, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(page->m_hWnd)));
    HBRUSH stat = reinterpret_cast<HBRUSH>(
        ::SendMessageA(*page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label)));
    LOGBRUSH lb = {};
    if (k.white) {
      ASSERT_NE(dlg, nullptr);
      EXPECT_EQ(dlg, stat) << "one white brush of the page";
      ASSERT_TRUE(::GetObjectA(dlg, sizeof lb, &lb));
      EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
      EXPECT_EQ(::GetTextColor(dc), RGB(0, 100, 0));
      EXPECT_EQ(::GetBkColor(dc), RGB(255, 255, 255));
    } else {
      EXPECT_NE(::GetTextColor(dc), RGB(0, 100, 0)) << "system colours";
      if (dlg && ::GetObjectA(dlg, sizeof lb, &lb)) {
        EXPECT_EQ(lb.lbColor, ::GetSysColor(COLOR_BTNFACE));
      }
    }
    // Edits keep the system's colours everywhere.
    HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 10, 10, *page, nullptr, nullptr, nullptr);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SendMessageA(*page, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
    EXPECT_NE(::GetTextColor(dc), RGB(0, 100, 0));
    ::DestroyWindow(edit);
  }
  ::DeleteDC(dc);
}

TEST_F(CommonPageTest, EnterAndEscapeLeaveEveryPageShown) {
  StoreDefault();
  for (const PageKind& k : kPages) {
    SCOPED_TRACE(k.name);
    std::unique_ptr<CDialog> page = k.make();
    Open(*page, k.id);
    HWND first = ::GetNextDlgTabItem(*page, nullptr, FALSE);
    if (first) ::SetFocus(first);
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
      MSG m = {first ? first : page->m_hWnd, WM_KEYDOWN, key, 0, 0, {0, 0}};
      if (!AfxPreTranslateMessage(&m)) ::DispatchMessageA(&m);
      Pump();
      EXPECT_TRUE(::IsWindow(*page));
      EXPECT_TRUE(page->IsWindowVisible());
    }
    EXPECT_FALSE(g_bSettingsChanged);
  }
}
}  // namespace

namespace {
// The window's theme, or null; null also where visual styles are absent.
HANDLE ThemeOf(HWND h) {
  HMODULE uxtheme = ::GetModuleHandleA("uxtheme.dll");
  using GetThemeFn = HANDLE(WINAPI*)(HWND);
  auto get = uxtheme ? reinterpret_cast<GetThemeFn>(reinterpret_cast<void*>(::GetProcAddress(uxtheme, "GetWindowTheme")))
                     : nullptr;
  return get ? get(h) : nullptr;
}
}  // namespace

TEST_F(CommonPageTest, GroupCaptionsKeepThePageColoursUnderVisualStyles) {
  StoreDefault();
  for (const PageKind& k : kPages) {
    if (!k.white) continue;
    SCOPED_TRACE(k.name);
    std::unique_ptr<CDialog> page = k.make();
    Open(*page, k.id);
    ::RedrawWindow(*page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    int groups = 0;
    for (HWND c = ::GetWindow(*page, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
      char cls[16] = {};
      ::GetClassNameA(c, cls, sizeof cls);
      if (lstrcmpiA(cls, "Button") != 0) continue;
      const LONG_PTR type = ::GetWindowLongPtrA(c, GWL_STYLE) & BS_TYPEMASK;
      const bool coloured = type == BS_GROUPBOX || type == BS_AUTOCHECKBOX || type == BS_CHECKBOX ||
                            type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON;
      if (coloured) EXPECT_EQ(ThemeOf(c), nullptr) << "control " << ::GetDlgCtrlID(c) << " is still themed";
      if (type != BS_GROUPBOX) continue;
      ++groups;
      // The caption: the box's top rows, where the text interrupts the frame.
      RECT r;
      ::GetClientRect(c, &r);
      HDC dc = ::GetDC(c);
      int green = 0, black = 0;
      for (int y = 0; y < 14 && y < r.bottom; ++y)
        for (int x = 0; x < r.right && x < 120; ++x) {
          const COLORREF p = ::GetPixel(dc, x, y);
          green += p == kPageLabelColour;
          black += p == RGB(0, 0, 0);
        }
      ::ReleaseDC(c, dc);
      EXPECT_GT(green, 0) << "caption of group " << ::GetDlgCtrlID(c) << " is not dark green";
      EXPECT_EQ(black, 0) << "caption of group " << ::GetDlgCtrlID(c) << " has black text";
    }
    EXPECT_GT(groups, 0);
  }
}
