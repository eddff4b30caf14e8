#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "controls/btnst.h"
#include "controls/xpstylebuttonst.h"
#include "uihost.h"

namespace {

constexpr UINT kTypeBits = 0x1F;

// Exposes the hover state so painting can be checked without a real mouse.
class ProbeButton : public CBtnSt {
 public:
  void SetHover(bool h) { m_bMouseOnButton = h; }
};

UINT TypeOf(HWND h) { return static_cast<UINT>(::GetWindowLongPtrA(h, GWL_STYLE)) & kTypeBits; }
LRESULT DlgCode(HWND h) { return ::SendMessageA(h, WM_GETDLGCODE, 0, 0); }

POINT CentreOnScreen(HWND h) {
  RECT r;
  ::GetWindowRect(h, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(BtnSt, SubclassingMakesOwnerDrawnAndReadsDefault) {
  struct Case {
    DWORD style;
    bool isDefault;
  } cases[] = {{BS_PUSHBUTTON, false}, {BS_DEFPUSHBUTTON, true}};
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP | c.style, 10, 10, 80, 26);
    CBtnSt button;
    ASSERT_TRUE(button.SubclassWindow(h));
    EXPECT_EQ(TypeOf(h), static_cast<UINT>(BS_OWNERDRAW)) << c.style;
    EXPECT_EQ(button.IsDefault(), c.isDefault) << c.style;
    LRESULT code = DlgCode(h);
    EXPECT_TRUE(code & DLGC_BUTTON);
    EXPECT_EQ((code & DLGC_DEFPUSHBUTTON) != 0, c.isDefault) << c.style;
    EXPECT_EQ((code & DLGC_UNDEFPUSHBUTTON) != 0, !c.isDefault) << c.style;
  }
}

TEST(BtnSt, SetStyleMovesDefaultFlagAndStaysOwnerDrawn) {
  // Each step: the style the dialog manager sends, and the flag after it.
  struct Step {
    UINT style;
    bool isDefault;
  } steps[] = {
      {BS_DEFPUSHBUTTON, true},
      {BS_PUSHBUTTON, false},
      {BS_DEFPUSHBUTTON | BS_MULTILINE, true},
      {BS_CHECKBOX, true},  // neither push style: the flag stays
      {BS_PUSHBUTTON | BS_FLAT, false},
      {BS_AUTORADIOBUTTON, false},
  };
  TestHost host;
  HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 80, 26);
  CBtnSt button;
  ASSERT_TRUE(button.SubclassWindow(h));
  for (const Step& s : steps) {
    ::SendMessageA(h, BM_SETSTYLE, s.style, TRUE);
    EXPECT_EQ(button.IsDefault(), s.isDefault) << std::hex << s.style;
    EXPECT_EQ(TypeOf(h), static_cast<UINT>(BS_OWNERDRAW)) << std::hex << s.style;
    EXPECT_EQ((DlgCode(h) & DLGC_DEFPUSHBUTTON) != 0, s.isDefault) << std::hex << s.style;
  }
}

TEST(BtnSt, DialogManagerMovesTheDefaultBetweenButtons) {
  TestHost host;
  HWND a = host.AddChild("BUTTON", 1001, "A", WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 10, 80, 26);
  HWND b = host.AddChild("BUTTON", 1002, "B", WS_TABSTOP | BS_PUSHBUTTON, 100, 10, 80, 26);
  CBtnSt btnA, btnB;
  ASSERT_TRUE(btnA.SubclassWindow(a));
  ASSERT_TRUE(btnB.SubclassWindow(b));
  struct Move {
    int defId;
    bool aDefault, bDefault;
  } moves[] = {{1001, true, false}, {1002, false, true}, {1001, true, false}};
  for (const Move& m : moves) {
    ::SendMessageA(host, DM_SETDEFID, static_cast<WPARAM>(m.defId), 0);
    EXPECT_EQ(btnA.IsDefault(), m.aDefault) << m.defId;
    EXPECT_EQ(btnB.IsDefault(), m.bDefault) << m.defId;
    EXPECT_EQ(TypeOf(a), static_cast<UINT>(BS_OWNERDRAW));
    EXPECT_EQ(TypeOf(b), static_cast<UINT>(BS_OWNERDRAW));
  }
  // Tab onto the other button: the dialog manager makes it the default.
  ::SetFocus(a);
  MSG tab = {};
  tab.hwnd = a;
  tab.message = WM_KEYDOWN;
  tab.wParam = VK_TAB;
  EXPECT_TRUE(::IsDialogMessageA(host, &tab));
  EXPECT_EQ(::GetFocus(), b);
  EXPECT_FALSE(btnA.IsDefault());
  EXPECT_TRUE(btnB.IsDefault());
  EXPECT_EQ(TypeOf(a), static_cast<UINT>(BS_OWNERDRAW));
  EXPECT_EQ(TypeOf(b), static_cast<UINT>(BS_OWNERDRAW));
}

TEST(BtnSt, DoubleClickCountsAsASecondPress) {
  struct Case {
    bool subclassed;
    int clicks;
  } cases[] = {{true, 2}, {false, 1}};  // a plain owner-drawn button double-clicks instead
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP | (c.subclassed ? BS_PUSHBUTTON : BS_OWNERDRAW), 10, 10,
                           80, 26);
    host.AddChild("BUTTON", 1002, "Other", WS_TABSTOP | BS_PUSHBUTTON, 100, 10, 80, 26);
    CBtnSt button;
    if (c.subclassed) {
      ASSERT_TRUE(button.SubclassWindow(h));
    }
    ::SetFocus(::GetDlgItem(host, 1002));
    const LPARAM at = MAKELPARAM(5, 5);
    ::PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(h, WM_LBUTTONUP, 0, at);
    ::PostMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::PostMessageA(h, WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(host.Notifications(BN_CLICKED), c.clicks) << c.subclassed;
    if (c.subclassed) {
      EXPECT_EQ(::GetFocus(), h) << "a click gives the button the focus";
      EXPECT_NE(button.GetToolTip(), nullptr);
    }
  }
}

TEST(BtnSt, HoverStartsOnPlainMoveNotDuringDrag) {
  struct Case {
    WPARAM keys;
    bool hover;
  } cases[] = {{0, true}, {MK_LBUTTON, false}, {MK_RBUTTON, true}};
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP, 10, 10, 80, 26);
    CBtnSt button;
    ASSERT_TRUE(button.SubclassWindow(h));
    POINT p = CentreOnScreen(h);
    ::SetCursorPos(p.x, p.y);
    ::SendMessageA(h, WM_MOUSEMOVE, c.keys, MAKELPARAM(5, 5));
    EXPECT_EQ(button.IsHover(), c.hover) << c.keys;
  }
}

TEST(BtnSt, HoverEnds) {
  struct Ender {
    const char* name;
    std::function<void(HWND)> act;
    bool stillHover;
  } enders[] = {
      {"leave", [](HWND h) { ::SendMessageA(h, WM_MOUSELEAVE, 0, 0); }, false},
      {"cancel mode", [](HWND h) { ::SendMessageA(h, WM_CANCELMODE, 0, 0); }, false},
      {"kill focus", [](HWND h) { ::SendMessageA(h, WM_KILLFOCUS, 0, 0); }, false},
      {"deactivate", [](HWND h) { ::SendMessageA(h, WM_ACTIVATE, WA_INACTIVE, 0); }, false},
      {"activate", [](HWND h) { ::SendMessageA(h, WM_ACTIVATE, WA_ACTIVE, 0); }, true},
      {"disable", [](HWND h) { ::EnableWindow(h, FALSE); }, false},
      {"move off the button", [](HWND h) { ::SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(200, 5)); }, false},
      {"drag on the button", [](HWND h) { ::SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 6)); }, true},
      {"drag off the button",
       [](HWND h) { ::SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5)); }, false},
  };
  for (const Ender& e : enders) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP, 10, 10, 80, 26);
    CBtnSt button;
    ASSERT_TRUE(button.SubclassWindow(h));
    POINT p = CentreOnScreen(h);
    ::SetCursorPos(p.x, p.y);
    ::SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(button.IsHover()) << e.name;
    e.act(h);
    EXPECT_EQ(button.IsHover(), e.stillHover) << e.name;
  }
}

TEST(BtnSt, DisablingFocusedButtonMovesFocusOn) {
  struct Case {
    int buttons;
    int disable;  // index
    int focusAfter;  // index, -1 for the parent
  } cases[] = {{3, 0, 1}, {3, 1, 2}, {3, 2, 0}, {1, 0, -1}};
  for (const Case& c : cases) {
    TestHost host;
    HWND h[3] = {};
    CBtnSt buttons[3];
    for (int i = 0; i < c.buttons; ++i) {
      h[i] = host.AddChild("BUTTON", 1001 + i, "B", WS_TABSTOP, 10 + 90 * i, 10, 80, 26);
      ASSERT_TRUE(buttons[i].SubclassWindow(h[i]));
    }
    ::SetFocus(h[c.disable]);
    ASSERT_EQ(::GetFocus(), h[c.disable]);
    ::EnableWindow(h[c.disable], FALSE);
    HWND expected = c.focusAfter < 0 ? host.m_hWnd : h[c.focusAfter];
    EXPECT_EQ(::GetFocus(), expected) << c.buttons << " buttons, disabling " << c.disable;
  }
}

TEST(BtnSt, ReflectedColourRequestGivesHollowBrush) {
  TestHost host;
  HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP, 10, 10, 80, 26);
  CBtnSt button;
  ASSERT_TRUE(button.SubclassWindow(h));
  HDC dc = ::GetDC(h);
  LRESULT r = ::SendMessageA(host, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h));
  ::ReleaseDC(h, dc);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(r), ::GetStockObject(NULL_BRUSH));
}

// Paints the button into a canvas through the parent's WM_DRAWITEM.
void PaintInto(HWND parent, HWND button, MemCanvas& canvas, UINT itemState) {
  DRAWITEMSTRUCT dis = {};
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = static_cast<UINT>(::GetDlgCtrlID(button));
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = itemState;
  dis.hwndItem = button;
  dis.hDC = canvas.dc();
  dis.rcItem = {0, 0, canvas.w, canvas.h};
  ::SendMessageA(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

TEST(BtnSt, FrameShowsOnlyWhenHoveredOrPressed) {
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
  ASSERT_NE(light, shadow);
  struct Case {
    bool hover;
    UINT state;
    COLORREF topLeft, bottomRight;
  } cases[] = {
      {false, 0, face, face},
      {false, ODS_FOCUS, face, face},
      {true, 0, light, shadow},               // raised
      {false, ODS_SELECTED, shadow, light},   // sunken
      {true, ODS_SELECTED, shadow, light},    // pressed wins
  };
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "", WS_TABSTOP, 10, 10, 80, 26);
    ProbeButton button;
    ASSERT_TRUE(button.SubclassWindow(h));
    button.SetHover(c.hover);
    MemCanvas canvas(80, 26);
    canvas.Fill(RGB(1, 2, 3));
    PaintInto(host, h, canvas, c.state);
    EXPECT_EQ(canvas.Pixel(0, 0), c.topLeft) << c.hover << " " << c.state;
    EXPECT_EQ(canvas.Pixel(79, 25), c.bottomRight) << c.hover << " " << c.state;
    EXPECT_EQ(canvas.Pixel(40, 13), face) << "empty caption: face only";
  }
}

TEST(BtnSt, CaptionIsCentredAndPushedWhilePressed) {
  const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
  TestHost host;
  HWND h = host.AddChild("BUTTON", 1001, "OK", WS_TABSTOP, 10, 10, 120, 40);
  CBtnSt button;
  ASSERT_TRUE(button.SubclassWindow(h));
  MemCanvas up(120, 40), down(120, 40);
  PaintInto(host, h, up, 0);
  PaintInto(host, h, down, ODS_SELECTED);
  RECT a = up.BoundsOf(text), b = down.BoundsOf(text);
  ASSERT_LT(a.left, a.right) << "caption drawn";
  EXPECT_LE(std::abs(a.left - (120 - a.right)), 3) << a.left << ".." << a.right;
  EXPECT_LE(std::abs(a.top - (40 - a.bottom)), 4) << a.top << ".." << a.bottom;
  EXPECT_EQ(b.left - a.left, 1);
  EXPECT_EQ(b.top - a.top, 1);

  // Disabled: engraved in highlight and shadow, no text colour.
  MemCanvas off(120, 40);
  PaintInto(host, h, off, ODS_DISABLED);
  RECT dim = off.BoundsOf(::GetSysColor(COLOR_BTNSHADOW));
  RECT lit = off.BoundsOf(::GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(off.BoundsOf(text).right, 0) << "no caption colour";
  EXPECT_EQ(dim.left, a.left) << dim.right << " " << a.right;
  EXPECT_EQ(dim.top, a.top);
  // The light copy shows below and right of the shadow.
  EXPECT_GT(lit.right, dim.right);
  EXPECT_GT(lit.bottom, dim.bottom);
  EXPECT_GT(lit.left, dim.left);
}

TEST(BtnSt, CentringTable) {
  struct Case {
    RECT area, measured, expected;
  } cases[] = {
      {{0, 0, 100, 30}, {0, 0, 20, 10}, {40, 10, 60, 20}},
      {{0, 0, 101, 31}, {0, 0, 20, 10}, {40, 10, 60, 20}},    // halves truncate
      {{1, 1, 101, 31}, {1, 1, 21, 11}, {41, 11, 61, 21}},    // pushed by (1, 1)
      {{0, 0, 50, 20}, {0, 0, 55, 16}, {-2, 2, 53, 18}},      // wider than the button: toward zero
      {{10, 5, 90, 45}, {10, 5, 40, 41}, {35, 7, 65, 43}},    // two lines as a block
  };
  for (const Case& c : cases) {
    RECT r = CenterCaptionRect(c.area, c.measured);
    EXPECT_TRUE(::EqualRect(&r, &c.expected))
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}

TEST(BtnSt, SystemColourChangeReloadsColours) {
  const COLORREF oldFace = ::GetSysColor(COLOR_BTNFACE);
  const COLORREF newFace = RGB(10, 200, 30);
  TestHost host;
  HWND h = host.AddChild("BUTTON", 1001, "", WS_TABSTOP, 10, 10, 80, 26);
  CBtnSt button;
  ASSERT_TRUE(button.SubclassWindow(h));
  int element = COLOR_BTNFACE;
  ASSERT_TRUE(::SetSysColors(1, &element, &newFace));
  ::SendMessageA(h, WM_SYSCOLORCHANGE, 0, 0);
  MemCanvas canvas(80, 26);
  PaintInto(host, h, canvas, 0);
  COLORREF painted = canvas.Pixel(40, 13);
  ::SetSysColors(1, &element, &oldFace);
  EXPECT_EQ(button.GetColor(CBtnSt::BTNST_COLOR_BK_OUT), newFace);
  EXPECT_EQ(painted, newFace);
}

}  // namespace
