#include "pages/passwordsetupdlg.h"

#include "pagesfixture.h"
#include "settings/passwordcheck.h"
#include "resource.h"

namespace {
constexpr char kQuestion[] = "确定要更新密码吗?";
constexpr char kWrongOld[] = "旧密码错误";
constexpr char kMismatch[] = "新密码与确认密码不一致";
constexpr char kRefused[] = "新密码没有保存:密码最长255字节(一个汉字占两个字节),或者设置文件无法写入。";

// 255 characters that fit the edit but take 510 bytes.
std::string ChineseOf255() {
  std::string s;
  for (int i = 0; i < 255; ++i) s += "汉";
  return s;
}

struct Box {
  std::string text;
  std::string caption;
  UINT type;
};

class PasswordPageTest : public PageTest {
 protected:
  void AnswerQuestionWith(int answer) {
    SetMessageBoxHook([this, answer](const char* text, const char* caption, UINT type) {
      boxes_.push_back({text, caption ? caption : "", type});
      return std::string(text) == kQuestion ? answer : IDOK;
    });
  }
  static std::string Text(const CWnd& page, int id) {
    char buf[512] = {};
    ::GetWindowTextA(page.GetDlgItem(id), buf, sizeof buf);
    return buf;
  }
  std::vector<Box> boxes_;
};

TEST_F(PasswordPageTest, ChangeAndItsMessages) {
  const std::string tooLong = ChineseOf255();
  const struct {
    const char* what;
    const char* stored;  // null: no settings file
    const char* oldText;
    const char* newText;
    const char* confirm;
    int answer;
    std::vector<std::string> shown;  // after the question
    const char* storedAfter;         // null: no password readable
    bool emptied;
  } cases[] = {
      {"accepted", "secret", "secret", "n3w", "n3w", IDOK, {}, "n3w", true},
      {"cancel changes nothing", "secret", "secret", "n3w", "n3w", IDCANCEL, {}, "secret", false},
      {"wrong old", "secret", "wrong", "n3w", "n3w", IDOK, {kWrongOld}, "secret", false},
      {"old differs in case", "Secret", "secret", "n3w", "n3w", IDOK, {kWrongOld}, "Secret", false},
      {"mismatch", "secret", "secret", "n3w", "n4w", IDOK, {kMismatch}, "secret", false},
      {"wrong old wins over mismatch", "secret", "nope", "n3w", "n4w", IDOK, {kWrongOld}, "secret", false},
      {"empty new password", "secret", "secret", "", "", IDOK, {}, "", true},
      {"no file: empty old passes, the refused write is told", nullptr, "", "n3w", "n3w", IDOK, {kRefused},
       nullptr, false},
      {"255 Chinese characters are refused and told", "secret", "secret", tooLong.c_str(), tooLong.c_str(), IDOK,
       {kRefused}, "secret", false},
      {"no file: any other old is wrong", nullptr, "480273", "n3w", "n3w", IDOK, {kWrongOld}, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteSettingsFiles();
    OldPasswordLimiter().NoteRight();
    if (c.stored) Store(Lines({"Enable log:0", std::string("Password:") + c.stored, "Log save time:3"}));
    boxes_.clear();
    AnswerQuestionWith(c.answer);
    CPasswordSetupDlg page;
    Open(page, IDD_PASSWORD_SETUP);
    EXPECT_EQ(Text(page, IDC_PWD_OLD), "");
    ::SetWindowTextA(page.GetDlgItem(IDC_PWD_OLD), c.oldText);
    ::SetWindowTextA(page.GetDlgItem(IDC_PWD_NEW), c.newText);
    ::SetWindowTextA(page.GetDlgItem(IDC_PWD_CONFIRM), c.confirm);
    Click(page, IDC_PWD_CHANGE);

    ASSERT_EQ(boxes_.size(), c.shown.size() + 1);
    EXPECT_EQ(boxes_[0].text, kQuestion);
    EXPECT_EQ(boxes_[0].type & 0xF, static_cast<UINT>(MB_OKCANCEL));
    for (size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(boxes_[i + 1].text, c.shown[i]);
      EXPECT_EQ(boxes_[i + 1].type & 0xF, static_cast<UINT>(MB_OK));
    }
    for (const Box& b : boxes_) EXPECT_EQ(b.caption, "Halvenor");

    char stored[kValueSize] = {};
    if (c.storedAfter) {
      ASSERT_TRUE(GetPassword(stored));
      // A new password is stored as its hash; an unchanged one as it was.
      if (c.storedAfter == std::string(c.stored)) {
        EXPECT_STREQ(stored, c.storedAfter);
      } else {
        EXPECT_EQ(MatchStoredPassword(c.storedAfter, stored), PasswordMatch::kHash);
      }
      std::string text(kSettingsCapacity, '\0');
      ASSERT_TRUE(ReadSettingsFile(PagesMainPath().c_str(), &text[0], text.size()));
      EXPECT_EQ(std::string(text.c_str()),
                Lines({"Enable log:0", std::string("Password:") + stored, "Log save time:3"}))
          << "the other lines stay";
    } else {
      EXPECT_FALSE(GetPassword(stored));
      EXPECT_FALSE(FileIsThere(PagesMainPath()));
    }
    EXPECT_EQ(Text(page, IDC_PWD_OLD), c.emptied ? "" : c.oldText);
    EXPECT_EQ(Text(page, IDC_PWD_NEW), c.emptied ? "" : c.newText);
    EXPECT_EQ(Text(page, IDC_PWD_CONFIRM), c.emptied ? "" : c.confirm);
    EXPECT_FALSE(g_bSettingsChanged);
  }
}

TEST_F(PasswordPageTest, EnterAndEscapeNeitherEndNorHideAPage) {
  StoreDefault();
  AnswerQuestionWith(IDCANCEL);
  CPasswordSetupDlg page;
  Open(page, IDD_PASSWORD_SETUP);
  ::SetWindowTextA(page.GetDlgItem(IDC_PWD_OLD), "typed");
  ::SetFocus(page.GetDlgItem(IDC_PWD_OLD));
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    MSG m = {page.GetDlgItem(IDC_PWD_OLD), WM_KEYDOWN, key, 0, 0, {0, 0}};
    if (!AfxPreTranslateMessage(&m)) ::DispatchMessageA(&m);
    ::SendMessageA(page, WM_COMMAND, key == VK_RETURN ? IDOK : IDCANCEL, 0);
    Pump();
    EXPECT_TRUE(::IsWindow(page));
    EXPECT_TRUE(page.IsWindowVisible());
  }
  EXPECT_EQ(Text(page, IDC_PWD_OLD), "typed");
  EXPECT_TRUE(boxes_.empty()) << "Enter is not a click on the change button";
}
TEST_F(PasswordPageTest, ClicksUnderAnOpenQuestionStackNoSecondChange) {
  StoreDefault();
  CPasswordSetupDlg page;
  Open(page, IDD_PASSWORD_SETUP);
  int nested = 0;
  SetMessageBoxHook([&](const char* text, const char*, UINT) {
    boxes_.push_back({text, "", 0});
    if (boxes_.size() == 1)
      for (int i = 0; i < 20; ++i) Click(page, IDC_PWD_CHANGE);
    else
      ++nested;
    return IDCANCEL;
  });
  Click(page, IDC_PWD_CHANGE);
  EXPECT_EQ(nested, 0);
  ASSERT_EQ(boxes_.size(), 1u);
  // Once it is answered, the button asks again.
  Click(page, IDC_PWD_CHANGE);
  EXPECT_EQ(boxes_.size(), 2u);
}
}  // namespace

namespace {
// From the third wrong old password in a row on, the page waits before it
// checks again: the button is disabled, the wait is shown, and a command
// sent straight to the page is refused without a question.
TEST_F(PasswordPageTest, WrongOldPasswordsAreSlowedDown) {
  OldPasswordLimiter().NoteRight();
  Store(Lines({"Password:secret", "Enable log:1"}));
  AnswerQuestionWith(IDOK);
  CPasswordSetupDlg page;
  Open(page, IDD_PASSWORD_SETUP);
  HWND button = page.GetDlgItem(IDC_PWD_CHANGE);
  auto attempt = [&](const char* old) {
    ::SetWindowTextA(page.GetDlgItem(IDC_PWD_OLD), old);
    ::SetWindowTextA(page.GetDlgItem(IDC_PWD_NEW), "n3w");
    ::SetWindowTextA(page.GetDlgItem(IDC_PWD_CONFIRM), "n3w");
    ::SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PWD_CHANGE, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  };
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(::IsWindowEnabled(button)) << i;
    attempt("wrong");
  }
  const DWORD third = GetTickCount();
  EXPECT_EQ(boxes_.size(), 6u);
  EXPECT_FALSE(::IsWindowEnabled(button));
  EXPECT_EQ(Text(page, IDC_PWD_WAIT), "请等待1秒后再试");

  boxes_.clear();
  attempt("secret");
  EXPECT_TRUE(boxes_.empty()) << "refused unseen during the wait";
  char stored[kValueSize] = {};
  ASSERT_TRUE(GetPassword(stored));
  EXPECT_STREQ(stored, "secret");

  while (!::IsWindowEnabled(button) && GetTickCount() - third < 5000) {
    Pump();
    ::Sleep(20);
  }
  EXPECT_TRUE(::IsWindowEnabled(button));
  EXPECT_GE(GetTickCount() - third, 950u);
  EXPECT_EQ(Text(page, IDC_PWD_WAIT), "");
  attempt("secret");
  ASSERT_EQ(boxes_.size(), 1u) << "the question alone";
  ASSERT_TRUE(GetPassword(stored));
  EXPECT_EQ(MatchStoredPassword("n3w", stored), PasswordMatch::kHash);
  EXPECT_EQ(OldPasswordLimiter().wrongInARow(), 0);
}
}  // namespace
