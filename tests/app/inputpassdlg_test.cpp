// The password prompt, run modally in this process and driven by a timer
// whose callback the prompt's own modal loop dispatches.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/inputpassdlg.h"
#include "resource.h"
#include "settings/globals.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "settingsfiles.h"
#include "testutil.h"

namespace {

struct Box {
  std::string text, caption;
  UINT type;
};

// One modal run of the prompt. Each timer tick performs the next step; when
// the steps are used up and the prompt is still open, it is ended by force
// after a grace period and the run is marked as timed out.
class PromptRun {
 public:
  using Step = std::function<void(HWND dlg)>;

  explicit PromptRun(std::vector<Step> steps) : steps_(std::move(steps)) {}

  void Run() {
    current_ = this;
    SetMessageBoxHook([this](const char* text, const char* caption, UINT type) {
      boxes.push_back({text, caption, type});
      return IDOK;
    });
    UINT_PTR timer = SetTimer(nullptr, 0, 20, &PromptRun::Tick);
    result = dlg_.DoModal();
    KillTimer(nullptr, timer);
    SetMessageBoxHook(nullptr);
    current_ = nullptr;
    accepted = dlg_.m_bAccepted != FALSE;
    promptOpenAfter = g_bPromptOpen;
  }

  std::vector<Box> boxes;
  INT_PTR result = 0;
  bool accepted = false;
  bool promptOpenAfter = false;
  bool timedOut = false;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    PromptRun* run = current_;
    if (!run || !run->dlg_.m_hWnd) return;
    if (run->next_ < run->steps_.size()) {
      run->steps_[run->next_++](run->dlg_.m_hWnd);
    } else if (++run->idleTicks_ > 150) {  // about 3 s
      run->timedOut = true;
      run->dlg_.EndDialog(-2);
    }
  }

  static PromptRun* current_;
  CInputPassDlg dlg_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  int idleTicks_ = 0;
};
PromptRun* PromptRun::current_ = nullptr;

std::string FieldText(HWND dlg) {
  char buf[512] = {};
  GetDlgItemTextA(dlg, IDC_PASSWORD, buf, sizeof buf);
  return buf;
}

PromptRun::Step Type(const std::string& text) {
  return [text](HWND dlg) { SendDlgItemMessageA(dlg, IDC_PASSWORD, WM_SETTEXT, 0, (LPARAM)text.c_str()); };
}
PromptRun::Step Click(int id) {
  return [id](HWND dlg) { SendDlgItemMessageA(dlg, id, BM_CLICK, 0, 0); };
}
PromptRun::Step Check(std::function<void(HWND)> f) { return f; }

// Stores the default settings with this password in both files.
void StorePassword(const std::string& password) { ASSERT_TRUE(StoreDefaultsWithPassword(password)); }

class PromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsFiles();
    g_bPromptOpen = false;
    PromptLimiter().NoteRight();  // no wait left from an earlier test
  }
  void TearDown() override { DeleteSettingsFiles(); }
};

enum class Stored { kPassword, kNoFiles, kGarbageFiles };

struct EntryCase {
  const char* name;
  Stored stored;
  std::string password;  // for kPassword
  std::string entry;
  bool accepted;
};

const std::string kLong255(255, 'k');

const EntryCase kEntryCases[] = {
    {"exact", Stored::kPassword, "Secret1", "Secret1", true},
    {"other case", Stored::kPassword, "Secret1", "secret1", false},
    {"all upper", Stored::kPassword, "abc", "ABC", false},
    {"prefix of stored", Stored::kPassword, "Secret1", "Secret", false},
    {"stored plus more", Stored::kPassword, "Secret1", "Secret12", false},
    {"trailing space", Stored::kPassword, "Secret1", "Secret1 ", false},
    {"empty against set", Stored::kPassword, "Secret1", "", false},
    {"chinese", Stored::kPassword, "家长密码9", "家长密码9", true},
    {"empty stored, empty entry", Stored::kPassword, "", "", true},
    {"empty stored, any entry", Stored::kPassword, "", "x", false},
    {"factory against set", Stored::kPassword, "Secret1", "480273", false},
    {"longest stored", Stored::kPassword, kLong255, kLong255, true},
    {"longer than stored", Stored::kPassword, kLong255, kLong255 + "k", false},
    {"no files, factory", Stored::kNoFiles, "", "480273", true},
    {"no files, empty", Stored::kNoFiles, "", "", false},
    {"no files, other", Stored::kNoFiles, "", "480274", false},
    {"garbage files, factory", Stored::kGarbageFiles, "", "480273", true},
    {"garbage files, empty", Stored::kGarbageFiles, "", "", false},
};

TEST_F(PromptTest, AcceptsOnlyTheStoredPasswordWhole) {
  for (const EntryCase& c : kEntryCases) {
    SCOPED_TRACE(c.name);
    DeleteSettingsFiles();
    PromptLimiter().NoteRight();
    if (c.stored == Stored::kPassword) StorePassword(c.password);
    if (c.stored == Stored::kGarbageFiles) {
      ASSERT_TRUE(WriteFileBytes(MainSettingsPath(), "not a settings file at all"));
      ASSERT_TRUE(WriteFileBytes(BackupSettingsPath(), "not a settings file either"));
    }
    std::string fieldAfter = "?";
    bool openAfterWrong = false;
    PromptRun run({Type(c.entry), Click(IDOK), Check([&](HWND dlg) {
                     fieldAfter = FieldText(dlg);
                     openAfterWrong = g_bPromptOpen;
                   }),
                   Click(IDCANCEL)});
    run.Run();
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(c.accepted, run.accepted);
    EXPECT_FALSE(run.promptOpenAfter);
    if (c.accepted) {
      EXPECT_EQ(IDOK, run.result);
      // The factory password is followed by the advice to set an own one.
      EXPECT_EQ(run.boxes.size(), c.entry == kFactoryPassword ? 1u : 0u);
    } else {
      EXPECT_EQ(IDCANCEL, run.result);
      ASSERT_EQ(1u, run.boxes.size());
      EXPECT_EQ("\xC3\xDC\xC2\xEB\xB4\xED\xCE\xF3", run.boxes[0].text);  // 密码错误 in GBK
      EXPECT_EQ("Halvenor", run.boxes[0].caption);
      EXPECT_EQ(static_cast<UINT>(MB_OK), run.boxes[0].type);
      EXPECT_EQ("", fieldAfter);
      EXPECT_TRUE(openAfterWrong);
    }
  }
}

TEST_F(PromptTest, WrongThenRightIsAccepted) {
  StorePassword("abc123");
  std::vector<std::string> fields;
  auto note = Check([&](HWND dlg) { fields.push_back(FieldText(dlg)); });
  PromptRun run({Type("abc12"), Click(IDOK), note, Type("ABC123"), Click(IDOK), note, Type("abc123"),
                 Click(IDOK)});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(run.accepted);
  EXPECT_EQ(IDOK, run.result);
  EXPECT_EQ(2u, run.boxes.size());
  EXPECT_EQ((std::vector<std::string>{"", ""}), fields);
  EXPECT_FALSE(run.promptOpenAfter);
}

TEST_F(PromptTest, EnterConfirms) {
  StorePassword("abc123");
  PromptRun run({Type("abc123"), Check([](HWND dlg) {
                   PostMessageA(GetDlgItem(dlg, IDC_PASSWORD), WM_KEYDOWN, VK_RETURN, 0);
                 })});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(run.accepted);
  EXPECT_TRUE(run.boxes.empty());
}

TEST_F(PromptTest, ReadsTheStoredPasswordAtEachConfirmation) {
  StorePassword("before");
  PromptRun run({Check([](HWND) { StorePassword("after"); }), Type("before"), Click(IDOK), Type("after"),
                 Click(IDOK)});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(run.accepted);
  EXPECT_EQ(1u, run.boxes.size());
}

TEST_F(PromptTest, OpensWithFocusInTheFieldAndTheFlagSet) {
  StorePassword("abc");
  bool openWhileShown = false, focusInField = false;
  std::string caption;
  PromptRun run({Check([&](HWND dlg) {
                   openWhileShown = g_bPromptOpen;
                   focusInField = GetFocus() == GetDlgItem(dlg, IDC_PASSWORD);
                   char buf[64] = {};
                   GetWindowTextA(dlg, buf, sizeof buf);
                   caption = buf;
                 }),
                 Click(IDCANCEL)});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(openWhileShown);
  EXPECT_TRUE(focusInField);
  EXPECT_EQ("密码验证", caption);
  EXPECT_FALSE(run.promptOpenAfter);
}

struct CancelCase {
  const char* name;
  PromptRun::Step cancel;
};

TEST_F(PromptTest, CancelAndEscapeEndWithoutAcceptance) {
  const CancelCase cases[] = {
      {"cancel button", Click(IDCANCEL)},
      {"IDCANCEL command", [](HWND dlg) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }},
      {"escape key", [](HWND dlg) { PostMessageA(GetDlgItem(dlg, IDC_PASSWORD), WM_KEYDOWN, VK_ESCAPE, 0); }},
  };
  StorePassword("abc");
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.name);
    // The right password typed but not confirmed does not count.
    PromptRun run({Type("abc"), c.cancel});
    run.Run();
    ASSERT_FALSE(run.timedOut);
    EXPECT_FALSE(run.accepted);
    EXPECT_EQ(IDCANCEL, run.result);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(run.promptOpenAfter);
  }
}

TEST_F(PromptTest, CancelAfterAWrongEntryLeavesItRefused) {
  StorePassword("abc");
  PromptRun run({Type("abd"), Click(IDOK), Click(IDCANCEL)});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_FALSE(run.accepted);
  EXPECT_EQ(1u, run.boxes.size());
  EXPECT_FALSE(run.promptOpenAfter);
}

TEST_F(PromptTest, StaticsAndDialogArePaintedWhite) {
  StorePassword("abc");
  COLORREF dialogBrush = 0, staticBrush = 0;
  int staticMode = 0;
  PromptRun run({Check([&](HWND dlg) {
                   HDC hdc = GetDC(dlg);
                   HWND label = nullptr;
                   for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                     char cls[32] = {};
                     GetClassNameA(c, cls, sizeof cls);
                     if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextLengthA(c) > 0) label = c;
                   }
                   LOGBRUSH lb = {};
                   HBRUSH b = (HBRUSH)SendMessageA(dlg, WM_CTLCOLORDLG, (WPARAM)hdc, (LPARAM)dlg);
                   if (b && GetObjectA(b, sizeof lb, &lb)) dialogBrush = lb.lbColor;
                   SetBkMode(hdc, OPAQUE);
                   b = (HBRUSH)SendMessageA(dlg, WM_CTLCOLORSTATIC, (WPARAM)hdc, (LPARAM)label);
                   if (b && GetObjectA(b, sizeof lb, &lb)) staticBrush = lb.lbColor;
                   staticMode = GetBkMode(hdc);
                   ReleaseDC(dlg, hdc);
                 }),
                 Click(IDCANCEL)});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(RGB(255, 255, 255), dialogBrush);
  EXPECT_EQ(RGB(255, 255, 255), staticBrush);
  EXPECT_EQ(TRANSPARENT, staticMode);
}

}  // namespace
