#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "controls/hyperlink.h"
#include "framework/msgbox.h"
#include "uihost.h"

namespace {

constexpr int kLinkId = 2001;

// A link whose opening is scripted, so colours can follow success or failure
// without starting a program.
class ScriptedLink : public CHyperlink {
 public:
  INT_PTR result = 42;
  std::vector<std::string> opened;
  INT_PTR OpenLink(const char* target, int) override {
    opened.push_back(target);
    return result;
  }
};

// A real OpenLink over a scripted registry.
class RegistryLink : public CHyperlink {
 public:
  std::map<std::string, std::string> keys;
  std::vector<std::string> asked;

 protected:
  bool ReadClassesRootValue(const char* key, std::string* value) override {
    asked.push_back(key);
    auto it = keys.find(key);
    if (it == keys.end()) return false;
    *value = it->second;
    return true;
  }
};

// Records the boxes shown while it lives.
struct BoxRecorder {
  struct Box {
    std::string text, caption;
    UINT type;
  };
  std::vector<Box> boxes;
  BoxRecorder() {
    SetMessageBoxHook([this](const char* text, const char* caption, UINT type) {
      boxes.push_back({text, caption, type});
      return IDOK;
    });
  }
  ~BoxRecorder() { SetMessageBoxHook(nullptr); }
};

COLORREF LinkTextColour(HWND host, HWND link, LRESULT* brush = nullptr, int* bkMode = nullptr) {
  MemCanvas canvas(4, 4);
  ::SetTextColor(canvas.dc(), RGB(7, 7, 7));
  LRESULT r = ::SendMessageA(host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.dc()),
                             reinterpret_cast<LPARAM>(link));
  if (brush) *brush = r;
  if (bkMode) *bkMode = ::GetBkMode(canvas.dc());
  return ::GetTextColor(canvas.dc());
}

void Click(HWND link) {
  ::PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  Pump();
}

bool FontUnderlined(HWND h) {
  LOGFONTA lf = {};
  HFONT f = reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
  ::GetObjectA(f, sizeof(lf), &lf);
  return lf.lfUnderline != 0;
}

std::string ToolText(HWND tip, HWND link) {
  char buf[600] = {};
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.hwnd = link;
  ti.uId = 1;
  ti.lpszText = buf;
  ::SendMessageA(tip, TTM_GETTEXTA, sizeof(buf), reinterpret_cast<LPARAM>(&ti));
  return buf;
}

TEST(Hyperlink, ErrorTexts) {
  const std::string head = "Unable to open hyperlink:\n\n";
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred. "},
      {27, "The filename association is\nincomplete or invalid."},
      {28, "The DDE transaction could not\nbe completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
      {1, "Unknown Error (1) occurred."},
      {4, "Unknown Error (4) occurred."},
      {-7, "Unknown Error (-7) occurred."},
  };
  for (const Case& c : cases) EXPECT_EQ(HyperlinkErrorText(c.code), head + c.text) << c.code;
}

TEST(Hyperlink, FailedClickBeepsReportsAndStaysUnvisited) {
  struct Case {
    INT_PTR result;
    bool visited;
    const char* box;  // null: no box
  } cases[] = {
      {42, true, nullptr},
      {33, true, nullptr},
      {2, false, "Unable to open hyperlink:\n\nThe specified file was not found."},
      {31, false, "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension."},
      {32, false, "Unable to open hyperlink:\n\nThe specified dynamic-link library was not found."},
      {0, false, "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources."},
  };
  for (const Case& c : cases) {
    BoxRecorder boxes;
    TestHost host;
    HWND h = host.AddChild("STATIC", kLinkId, "mailto:someone@example.com", SS_LEFT, 10, 10, 300, 20);
    ScriptedLink link;
    ASSERT_TRUE(link.SubclassWindow(h));
    link.result = c.result;
    Click(h);
    ASSERT_EQ(link.opened.size(), 1u) << c.result;
    EXPECT_EQ(link.opened[0], "mailto:someone@example.com");
    EXPECT_EQ(link.IsVisited(), c.visited) << c.result;
    EXPECT_EQ(host.Notifications(STN_CLICKED), 0) << "the link keeps its click";
    if (c.box) {
      ASSERT_EQ(boxes.boxes.size(), 1u) << c.result;
      EXPECT_EQ(boxes.boxes[0].text, c.box);
      EXPECT_EQ(boxes.boxes[0].caption, "Halvenor");
      EXPECT_EQ(boxes.boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
      EXPECT_EQ(LinkTextColour(host, h), CHyperlink::kLinkColor);
    } else {
      EXPECT_TRUE(boxes.boxes.empty()) << c.result;
      EXPECT_EQ(LinkTextColour(host, h), CHyperlink::kVisitedColor);
    }
  }
}

TEST(Hyperlink, ColourFollowsHoverAndVisited) {
  struct Case {
    const char* name;
    bool clickOk, hover;
    COLORREF colour;
  } cases[] = {
      {"fresh", false, false, RGB(0, 0, 238)},
      {"hovered", false, true, RGB(255, 0, 0)},
      {"visited", true, false, RGB(85, 26, 139)},
      {"visited and hovered", true, true, RGB(255, 0, 0)},
  };
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("STATIC", kLinkId, "http://example.com/", SS_LEFT, 10, 10, 300, 20);
    ScriptedLink link;
    ASSERT_TRUE(link.SubclassWindow(h));
    if (c.clickOk) Click(h);
    if (c.hover) ::SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(link.IsHover(), c.hover) << c.name;
    LRESULT brush = 0;
    int mode = 0;
    EXPECT_EQ(LinkTextColour(host, h, &brush, &mode), c.colour) << c.name;
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), ::GetStockObject(NULL_BRUSH)) << c.name;
    EXPECT_EQ(mode, TRANSPARENT) << c.name;
  }
}

TEST(Hyperlink, HoverEndsSoonAfterTheMouseLeaves) {
  TestHost host;
  HWND h = host.AddChild("STATIC", kLinkId, "http://example.com/", SS_LEFT, 10, 10, 300, 20);
  ScriptedLink link;
  ASSERT_TRUE(link.SubclassWindow(h));
  RECT r;
  ::GetWindowRect(h, &r);
  ::SetCursorPos(r.left + 2, r.top + 2);
  ::SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  Pump(250);
  EXPECT_TRUE(link.IsHover()) << "still over it";
  ::SetCursorPos(r.left + 2, r.bottom + 60);
  Pump(250);
  EXPECT_FALSE(link.IsHover());
  EXPECT_EQ(LinkTextColour(host, h), CHyperlink::kLinkColor);
}

TEST(Hyperlink, UnderlineModes) {
  struct Case {
    int mode;
    bool idle, hovered;
  } cases[] = {{-1, false, true}, {1, true, true}, {0, false, false}, {2, false, false}};
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("STATIC", kLinkId, "http://example.com/", SS_LEFT, 10, 10, 300, 20);
    ScriptedLink link;
    ASSERT_TRUE(link.SubclassWindow(h));
    link.SetUnderlineMode(c.mode);
    EXPECT_EQ(link.GetUnderlineMode(), c.mode);
    EXPECT_EQ(FontUnderlined(h), c.idle) << c.mode;
    RECT r;
    ::GetWindowRect(h, &r);
    ::SetCursorPos(r.left + 2, r.top + 2);
    ::SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(FontUnderlined(h), c.hovered) << c.mode;
    ::SetCursorPos(r.left + 2, r.bottom + 60);
    Pump(250);
    EXPECT_EQ(FontUnderlined(h), c.idle) << c.mode << " after leaving";
  }
  // A mode set before the control is attached holds from the start.
  TestHost host;
  HWND h = host.AddChild("STATIC", kLinkId, "x", SS_LEFT, 10, 10, 300, 20);
  ScriptedLink link;
  link.SetUnderlineMode(1);
  ASSERT_TRUE(link.SubclassWindow(h));
  EXPECT_TRUE(FontUnderlined(h));
}

TEST(Hyperlink, SubclassingSetsUpTheControl) {
  TestHost host;
  HWND h = host.AddChild("STATIC", kLinkId, "", SS_LEFT, 10, 10, 300, 20);
  ScriptedLink link;
  link.SetLinkTarget("mailto:parent@example.com");
  ASSERT_TRUE(link.SubclassWindow(h));
  EXPECT_TRUE(::GetWindowLongPtrA(h, GWL_STYLE) & SS_NOTIFY);
  char text[100] = {};
  ::GetWindowTextA(h, text, sizeof(text));
  EXPECT_STREQ(text, "mailto:parent@example.com") << "empty text takes the target";
  ASSERT_NE(link.GetToolTip(), nullptr);
  EXPECT_EQ(::SendMessageA(link.GetToolTip(), TTM_GETTOOLCOUNT, 0, 0), 1);
  EXPECT_EQ(ToolText(link.GetToolTip(), h), "mailto:parent@example.com");
  link.SetLinkTarget("http://example.org/");
  EXPECT_EQ(ToolText(link.GetToolTip(), h), "http://example.org/");
  EXPECT_STREQ(text, "mailto:parent@example.com");

  // An empty target takes the text.
  HWND h2 = host.AddChild("STATIC", kLinkId + 1, "http://example.net/", SS_LEFT, 10, 40, 300, 20);
  ScriptedLink link2;
  ASSERT_TRUE(link2.SubclassWindow(h2));
  EXPECT_EQ(link2.GetLinkTarget(), "http://example.net/");

  // The cursor: the hand when there is one, else the control leaves it alone.
  LRESULT r = ::SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(r != 0, link.GetLinkCursor() != nullptr);

  // The background is the button face.
  MemCanvas canvas(8, 8);
  canvas.Fill(RGB(1, 2, 3));
  EXPECT_TRUE(::SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0));
  EXPECT_EQ(canvas.Pixel(3, 3), ::GetSysColor(COLOR_BTNFACE));
}

TEST(Hyperlink, FitsItselfToItsText) {
  struct Case {
    const char* name;
    DWORD style;
  } cases[] = {{"left", SS_LEFT}, {"centre", SS_CENTER}, {"right", SS_RIGHT},
               {"centre image", SS_LEFT | SS_CENTERIMAGE}};
  const RECT before = {20, 30, 320, 70};
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("STATIC", kLinkId, "Contact us", c.style, before.left, before.top,
                           before.right - before.left, before.bottom - before.top);
    ScriptedLink link;
    ASSERT_TRUE(link.SubclassWindow(h));
    // The text measured in the underlined font.
    LOGFONTA lf = {};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    lf.lfUnderline = TRUE;
    HFONT f = ::CreateFontIndirectA(&lf);
    HDC dc = ::GetDC(h);
    HGDIOBJ old = ::SelectObject(dc, f);
    SIZE ext = {};
    ::GetTextExtentPoint32A(dc, "Contact us", 10, &ext);
    ::SelectObject(dc, old);
    ::ReleaseDC(h, dc);
    ::DeleteObject(f);

    RECT r;
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&r), 2);
    const int midX = (before.left + before.right) / 2, midY = (before.top + before.bottom) / 2;
    EXPECT_LE(std::abs((r.right - r.left) - ext.cx), 1) << c.name;
    EXPECT_LE(std::abs((r.bottom - r.top) - ext.cy), 1) << c.name;
    switch (c.style & SS_TYPEMASK) {
      case SS_CENTER: EXPECT_LE(std::abs((r.left + r.right) / 2 - midX), 1) << c.name; break;
      case SS_RIGHT: EXPECT_EQ(r.right, before.right) << c.name; break;
      default: EXPECT_EQ(r.left, before.left) << c.name; break;
    }
    if (c.style & SS_CENTERIMAGE)
      EXPECT_LE(std::abs((r.top + r.bottom) / 2 - midY), 1) << c.name;
    else
      EXPECT_EQ(r.top, before.top) << c.name;
  }
}

TEST(Hyperlink, BrowserCommandLine) {
  struct Case {
    const char* command;
    const char* expected;
  } cases[] = {
      {"\"C:\\Web\\browse.exe\" -nohome", "\"C:\\Web\\browse.exe\" -nohome http://a.b/"},
      {"\"C:\\Web\\browse.exe\" \"%1\"", "\"C:\\Web\\browse.exe\"  http://a.b/"},
      {"C:\\Web\\browse.exe %1", "C:\\Web\\browse.exe  http://a.b/"},
      {"C:\\Web\\browse.exe -url \"%1\" -new", "C:\\Web\\browse.exe -url  http://a.b/"},
      {"C:\\Web\\browse.exe %1 -alt \"%1\"", "C:\\Web\\browse.exe %1 -alt  http://a.b/"},  // quoted one first
      {"C:\\Web\\browse.exe %10", "C:\\Web\\browse.exe  http://a.b/"},
      {"\"C:\\网页\\浏览.exe\" \"%1\"", "\"C:\\网页\\浏览.exe\"  http://a.b/"},
      {"", " http://a.b/"},
      {"%1", " http://a.b/"},
  };
  for (const Case& c : cases) {
    char out[kBrowserCommandCap];
    ASSERT_TRUE(BuildBrowserCommandLine(c.command, "http://a.b/", out, sizeof(out))) << c.command;
    EXPECT_STREQ(out, c.expected);
  }
}

TEST(Hyperlink, OverlongCommandLineIsRefusedWithinTheBuffer) {
  const std::string longCmd(400, 'c');
  struct Case {
    std::string command, target;
    bool fits;
  } cases[] = {
      {longCmd, std::string(118, 't'), true},   // 400 + space + 118 + terminator = 520
      {longCmd, std::string(119, 't'), false},
      {"b.exe \"%1\"" + std::string(600, 'x'), "http://a.b/", true},  // cut before the long tail
      {"b.exe", std::string(1000, 't'), false},
      {std::string(700, 'c'), "t", false},
  };
  for (const Case& c : cases) {
    char buf[kBrowserCommandCap + 16];
    std::memset(buf, 0x5A, sizeof(buf));
    bool ok = BuildBrowserCommandLine(c.command.c_str(), c.target.c_str(), buf, kBrowserCommandCap);
    EXPECT_EQ(ok, c.fits) << c.command.size() << "+" << c.target.size();
    for (size_t i = kBrowserCommandCap; i < sizeof(buf); ++i) ASSERT_EQ(buf[i], 0x5A) << "written past the buffer";
    if (ok) {
      EXPECT_LT(std::strlen(buf), kBrowserCommandCap);
      EXPECT_EQ(std::string(buf).substr(std::strlen(buf) - c.target.size()), c.target);
    } else {
      EXPECT_EQ(buf[0], '\0') << "nothing half-built";
    }
  }
}

TEST(Hyperlink, OpenFallsBackToTheRegisteredBrowser) {
  char sysdir[MAX_PATH];
  ::GetSystemDirectoryA(sysdir, sizeof(sysdir));
  const std::string cmd = std::string("\"") + sysdir + "\\cmd.exe\" /c rem \"%1\"";
  // No program answers for this, so the shell fails and the fallback runs.
  const std::string target = "C:\\mg-no-such-folder\\page.mgnone";
  struct Case {
    const char* name;
    std::map<std::string, std::string> keys;
    std::string target;
    bool opens;
    bool reachesCommand;
  } cases[] = {
      {"browser starts", {{".htm", "mgpage"}, {"mgpage\\shell\\open\\command", cmd}}, target, true, true},
      {"browser missing",
       {{".htm", "mgpage"}, {"mgpage\\shell\\open\\command", "\"C:\\mg-no-such\\browse.exe\" \"%1\""}},
       target, false, true},
      {"no class", {}, target, false, false},
      {"no command", {{".htm", "mgpage"}}, target, false, true},
      {"too long", {{".htm", "mgpage"}, {"mgpage\\shell\\open\\command", cmd}},
       "C:\\mg-no-such-folder\\" + std::string(500, 'p'), false, true},
  };
  for (const Case& c : cases) {
    RegistryLink link;
    link.keys = c.keys;
    INT_PTR r = link.OpenLink(c.target.c_str(), SW_HIDE);
    EXPECT_EQ(r > 32, c.opens) << c.name << " " << r;
    ASSERT_GE(link.asked.size(), 1u) << c.name;
    EXPECT_EQ(link.asked[0], ".htm") << c.name;
    EXPECT_EQ(link.asked.size() == 2 && link.asked[1] == "mgpage\\shell\\open\\command", c.reachesCommand) << c.name;
  }
}

}  // namespace
