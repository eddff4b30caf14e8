#include <gtest/gtest.h>
#include <vssym32.h>

#include "controls/themehelperst.h"
#include "controls/xpstylebuttonst.h"
#include "uihost.h"

namespace {

// Stands in for a themed desktop: reports themes on or off as told, and
// "draws" the theme's button as a solid colour, recording the state asked for.
class FakeTheme : public CThemeHelperSt {
 public:
  static constexpr COLORREF kThemeFace = RGB(200, 0, 200);
  FakeTheme() : CThemeHelperSt("mg-no-such-uxtheme.dll") {}
  bool themed = true;
  bool canOpen = true;
  int opened = 0, closed = 0, drawn = 0, lastState = 0, lastPart = 0;
  HWND lastWindow = nullptr;
  const RECT* lastClip = reinterpret_cast<const RECT*>(1);

  BOOL IsAppThemed() override { return themed; }
  HTHEME OpenThemeData(HWND, LPCWSTR classList) override {
    EXPECT_STREQ(classList, L"BUTTON");
    ++opened;
    return canOpen ? reinterpret_cast<HTHEME>(0x1234) : nullptr;
  }
  HRESULT CloseThemeData(HTHEME theme) override {
    EXPECT_EQ(theme, reinterpret_cast<HTHEME>(0x1234));
    ++closed;
    return S_OK;
  }
  HRESULT DrawThemeBackground(HTHEME, HWND hwnd, HDC hdc, int part, int state, const RECT* rect,
                              const RECT* clip) override {
    ++drawn;
    lastWindow = hwnd;
    lastPart = part;
    lastState = state;
    lastClip = clip;
    HBRUSH b = ::CreateSolidBrush(kThemeFace);
    ::FillRect(hdc, rect, b);
    ::DeleteObject(b);
    return S_OK;
  }
};

class ProbeXPButton : public CXPStyleButtonSt {
 public:
  void SetHover(bool h) { m_bMouseOnButton = h; }
};

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

TEST(XPStyleButton, StatePriority) {
  struct Case {
    bool defaulted, hot, pressed, disabled;
    int state;
  } cases[] = {
      {false, false, false, false, PBS_NORMAL},  {true, false, false, false, PBS_DEFAULTED},
      {false, true, false, false, PBS_HOT},      {true, true, false, false, PBS_HOT},
      {false, false, true, false, PBS_PRESSED},  {true, false, true, false, PBS_PRESSED},
      {false, true, true, false, PBS_PRESSED},   {true, true, true, false, PBS_PRESSED},
      {false, false, false, true, PBS_DISABLED}, {true, false, false, true, PBS_DISABLED},
      {false, true, false, true, PBS_DISABLED},  {true, true, false, true, PBS_DISABLED},
      {false, false, true, true, PBS_DISABLED},  {true, true, true, true, PBS_DISABLED},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChoosePushButtonState(c.defaulted, c.hot, c.pressed, c.disabled), c.state)
        << c.defaulted << c.hot << c.pressed << c.disabled;
  EXPECT_EQ(PBS_NORMAL, 1);
  EXPECT_EQ(PBS_HOT, 2);
  EXPECT_EQ(PBS_PRESSED, 3);
  EXPECT_EQ(PBS_DISABLED, 4);
  EXPECT_EQ(PBS_DEFAULTED, 5);
}

TEST(XPStyleButton, FrameFlagDecidedWhenHelperIsAttached) {
  FakeTheme themed;
  FakeTheme unthemed;
  unthemed.themed = false;
  CThemeHelperSt missing("mg-no-such-uxtheme.dll");
  CThemeHelperSt real;
  struct Case {
    const char* name;
    bool attach;
    CThemeHelperSt* helper;
    bool frame;
  } cases[] = {
      {"never attached", false, nullptr, false},
      {"attached nothing", true, nullptr, true},
      {"no library", true, &missing, true},
      {"themes off", true, &unthemed, true},
      {"themes on", true, &themed, false},
      {"this desktop", true, &real, !real.IsAppThemed()},
  };
  for (const Case& c : cases) {
    CXPStyleButtonSt button;
    EXPECT_FALSE(button.DrawsFrame()) << "cleared at construction";
    if (c.attach) button.AttachThemeHelper(c.helper);
    EXPECT_EQ(button.DrawsFrame(), c.frame) << c.name;
    EXPECT_EQ(button.GetThemeHelper(), c.helper) << c.name;
  }
}

TEST(XPStyleButton, HelperWithoutLibraryAnswersHarmlessly) {
  CThemeHelperSt missing("mg-no-such-uxtheme.dll");
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_EQ(missing.OpenThemeData(nullptr, L"BUTTON"), nullptr);
  EXPECT_EQ(missing.CloseThemeData(nullptr), E_FAIL);
  MemCanvas canvas(10, 10);
  canvas.Fill(RGB(9, 9, 9));
  RECT r = {0, 0, 10, 10};
  EXPECT_EQ(missing.DrawThemeBackground(nullptr, nullptr, canvas.dc(), BP_PUSHBUTTON, PBS_NORMAL, &r, nullptr), E_FAIL);
  EXPECT_EQ(canvas.Pixel(5, 5), RGB(9, 9, 9));
  EXPECT_FALSE(missing.IsAppThemed());

  CThemeHelperSt real;  // the platform's library, whatever its theme
  EXPECT_TRUE(real.IsLoaded());
}

TEST(XPStyleButton, ThemedFaceTakesTheStateOfTheButton) {
  const UINT kSel = ODS_SELECTED, kOff = ODS_DISABLED;
  struct Case {
    const char* name;
    bool makeDefault, hover;
    UINT itemState;
    int state;
  } cases[] = {
      {"normal", false, false, 0, PBS_NORMAL},
      {"default", true, false, ODS_FOCUS, PBS_DEFAULTED},
      {"hot", true, true, 0, PBS_HOT},
      {"pressed", true, true, kSel, PBS_PRESSED},
      {"disabled", true, true, kSel | kOff, PBS_DISABLED},
  };
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "", WS_TABSTOP, 10, 10, 80, 26);
    FakeTheme theme;
    ProbeXPButton button;
    ASSERT_TRUE(button.SubclassWindow(h));
    button.AttachThemeHelper(&theme);
    if (c.makeDefault) ::SendMessageA(h, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    button.SetHover(c.hover);
    MemCanvas canvas(80, 26);
    PaintInto(host, h, canvas, c.itemState);
    EXPECT_EQ(theme.drawn, 1) << c.name;
    EXPECT_EQ(theme.lastState, c.state) << c.name;
    EXPECT_EQ(theme.lastPart, BP_PUSHBUTTON) << c.name;
    EXPECT_EQ(theme.lastWindow, h) << c.name;
    EXPECT_EQ(theme.lastClip, nullptr) << c.name;
    EXPECT_EQ(theme.closed, theme.opened) << c.name;
    // The theme's face everywhere: no flat frame over it.
    EXPECT_EQ(canvas.Pixel(0, 0), FakeTheme::kThemeFace) << c.name;
    EXPECT_EQ(canvas.Pixel(79, 25), FakeTheme::kThemeFace) << c.name;
  }
}

TEST(XPStyleButton, FallsBackToFlatFace) {
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  struct Case {
    const char* name;
    bool themedAtAttach, themedAtPaint, canOpen;
    COLORREF hoverCorner;  // top-left pixel of a hovered button
  } cases[] = {
      {"themes off from the start", false, false, true, light},
      {"themes switched off later", true, false, true, face},
      {"theme cannot be opened", true, true, false, face},
  };
  for (const Case& c : cases) {
    TestHost host;
    HWND h = host.AddChild("BUTTON", 1001, "", WS_TABSTOP, 10, 10, 80, 26);
    FakeTheme theme;
    theme.themed = c.themedAtAttach;
    theme.canOpen = c.canOpen;
    ProbeXPButton button;
    ASSERT_TRUE(button.SubclassWindow(h));
    button.AttachThemeHelper(&theme);
    theme.themed = c.themedAtPaint;
    button.SetHover(true);
    MemCanvas canvas(80, 26);
    PaintInto(host, h, canvas, 0);
    EXPECT_EQ(theme.drawn, 0) << c.name;
    EXPECT_EQ(canvas.Pixel(40, 13), face) << c.name;
    EXPECT_EQ(canvas.Pixel(0, 0), c.hoverCorner) << c.name;
  }
}

}  // namespace
