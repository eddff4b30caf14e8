// The prompt after the factory password, and the wait that slows guessing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/inputpassdlg.h"
#include "resource.h"
#include "settings/globals.h"
#include "settings/passwordcheck.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "settingsfiles.h"

namespace {

// One modal run of the prompt. Every 20 ms the current step runs; it answers
// true when it is done, so a step can wait for the prompt. A run that has
// not ended 30 s after its last step began is ended by force.
class PacedRun {
 public:
  using Step = std::function<bool(HWND dlg)>;
  explicit PacedRun(std::vector<Step> steps) : steps_(std::move(steps)) {}

  void Run() {
    current_ = this;
    SetMessageBoxHook([this](const char* text, const char* caption, UINT type) {
      boxes.push_back(text);
      captions.push_back(caption ? caption : "");
      types.push_back(type);
      boxTimes.push_back(GetTickCount());
      return IDOK;
    });
    UINT_PTR timer = SetTimer(nullptr, 0, 20, &PacedRun::Tick);
    dlg_.DoModal();
    KillTimer(nullptr, timer);
    SetMessageBoxHook(nullptr);
    current_ = nullptr;
    accepted = dlg_.m_bAccepted != FALSE;
  }

  std::vector<std::string> boxes, captions;
  std::vector<UINT> types;
  std::vector<DWORD> boxTimes;
  bool accepted = false;
  bool timedOut = false;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    PacedRun* run = current_;
    if (!run || !run->dlg_.m_hWnd || run->inStep_) return;
    if (run->stepStart_ == 0) run->stepStart_ = GetTickCount();
    if (GetTickCount() - run->stepStart_ > 30000) {
      run->timedOut = true;
      run->dlg_.EndDialog(-2);
      return;
    }
    if (run->next_ >= run->steps_.size()) return;
    run->inStep_ = true;
    const bool done = run->steps_[run->next_](run->dlg_.m_hWnd);
    run->inStep_ = false;
    if (done) {
      ++run->next_;
      run->stepStart_ = GetTickCount();
    }
  }

  static PacedRun* current_;
  CInputPassDlg dlg_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  DWORD stepStart_ = 0;
  bool inStep_ = false;
};
PacedRun* PacedRun::current_ = nullptr;

PacedRun::Step Type(const std::string& text) {
  return [text](HWND dlg) {
    SetDlgItemTextA(dlg, IDC_PASSWORD, text.c_str());
    return true;
  };
}
PacedRun::Step Command(int id) {
  return [id](HWND dlg) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    return true;
  };
}
bool OkEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) != FALSE; }
std::string Note(HWND dlg) {
  char buf[128] = {};
  GetDlgItemTextA(dlg, IDC_PASSWORD_WAIT, buf, sizeof buf);
  return buf;
}
PacedRun::Step UntilOkEnabled() { return [](HWND dlg) { return OkEnabled(dlg); }; }

class GuessingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsFiles();
    g_bPromptOpen = false;
    PromptLimiter().NoteRight();
  }
  void TearDown() override {
    PromptLimiter().NoteRight();
    DeleteSettingsFiles();
  }
};

TEST_F(GuessingTest, TheFactoryPasswordAsksForAnOwnOne) {
  ASSERT_TRUE(StoreDefaultsWithPassword(kFactoryPassword));
  PacedRun run({Type(kFactoryPassword), Command(IDOK)});
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(run.accepted);
  ASSERT_EQ(run.boxes.size(), 1u);
  // 您正在使用初始密码，任何人都可能知道它。请现在在“密码设置”页设置您自己的密码。
  EXPECT_EQ(run.boxes[0], "\xC4\xFA\xD5\xFD\xD4\xDA\xCA\xB9\xD3\xC3\xB3\xF5\xCA\xBC\xC3\xDC\xC2\xEB\xA3\xAC"
                          "\xC8\xCE\xBA\xCE\xC8\xCB\xB6\xBC\xBF\xC9\xC4\xDC\xD6\xAA\xB5\xC0\xCB\xFC\xA1\xA3"
                          "\xC7\xEB\xCF\xD6\xD4\xDA\xD4\xDA\xA1\xB0\xC3\xDC\xC2\xEB\xC9\xE8\xD6\xC3\xA1\xB1"
                          "\xD2\xB3\xC9\xE8\xD6\xC3\xC4\xFA\xD7\xD4\xBC\xBA\xB5\xC4\xC3\xDC\xC2\xEB\xA1\xA3");
  EXPECT_EQ(run.captions[0], "Halvenor");
  EXPECT_EQ(run.types[0], static_cast<UINT>(MB_OK));
  // The plain factory value is gone from both files.
  for (const std::string& path : {MainSettingsPath(), BackupSettingsPath()}) {
    static char text[kSettingsCapacity];
    ASSERT_TRUE(ReadSettingsFileOnly(path.c_str(), text, sizeof text));
    EXPECT_EQ(std::string(text).find(kFactoryPassword), std::string::npos) << path;
  }
}

// Six wrong entries in a row: the third, fourth and fifth are each followed
// by a wait (1, 2 and 4 s) with OK disabled and the wait shown; OK commands
// posted straight to the prompt meanwhile are refused unseen. The right
// password afterwards is accepted and starts the count afresh.
TEST_F(GuessingTest, WrongEntriesAreSlowedDown) {
  ASSERT_TRUE(StoreDefaultsWithPassword("right-one"));
  std::vector<std::string> notesDuringWait;
  int enabledDuringWait = 0;
  std::vector<PacedRun::Step> steps;
  for (int i = 1; i <= 6; ++i) {
    steps.push_back(UntilOkEnabled());
    steps.push_back(Type("wrong" + std::to_string(i)));
    steps.push_back(Command(IDOK));
    if (i >= 3 && i <= 5) {
      steps.push_back([&](HWND dlg) {
        notesDuringWait.push_back(Note(dlg));
        if (OkEnabled(dlg)) ++enabledDuringWait;
        // Typed and sent past the disabled button: nothing may happen.
        SetDlgItemTextA(dlg, IDC_PASSWORD, "right-one");
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
      });
    }
  }
  steps.push_back(UntilOkEnabled());
  steps.push_back(Type("right-one"));
  steps.push_back(Command(IDOK));
  PacedRun run(steps);
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(run.accepted);
  ASSERT_EQ(run.boxes.size(), 6u) << "one wrong-password message per checked entry, none for refused ones";
  for (const std::string& b : run.boxes) EXPECT_EQ(b, "\xC3\xDC\xC2\xEB\xB4\xED\xCE\xF3");  // 密码错误
  EXPECT_GE(run.boxTimes[5] - run.boxTimes[0], 1000u + 2000u + 4000u);
  EXPECT_GE(run.boxTimes[3] - run.boxTimes[2], 1000u);
  EXPECT_GE(run.boxTimes[4] - run.boxTimes[3], 2000u);
  EXPECT_GE(run.boxTimes[5] - run.boxTimes[4], 4000u);
  EXPECT_LT(run.boxTimes[2] - run.boxTimes[0], 1000u) << "the first three are free";
  EXPECT_EQ(enabledDuringWait, 0);
  ASSERT_EQ(notesDuringWait.size(), 3u);
  // 请等待N秒后再试
  EXPECT_EQ(notesDuringWait[0], "\xC7\xEB\xB5\xC8\xB4\xFD" "1" "\xC3\xEB\xBA\xF3\xD4\xD9\xCA\xD4");
  EXPECT_EQ(notesDuringWait[1], "\xC7\xEB\xB5\xC8\xB4\xFD" "2" "\xC3\xEB\xBA\xF3\xD4\xD9\xCA\xD4");
  EXPECT_EQ(notesDuringWait[2], "\xC7\xEB\xB5\xC8\xB4\xFD" "4" "\xC3\xEB\xBA\xF3\xD4\xD9\xCA\xD4");
  EXPECT_EQ(PromptLimiter().wrongInARow(), 0) << "the right entry reset the count";
}

// The count belongs to the process: closing the prompt and opening a new
// one does not end a wait.
TEST_F(GuessingTest, ANewPromptKeepsTheWait) {
  ASSERT_TRUE(StoreDefaultsWithPassword("right-one"));
  for (int i = 0; i < 3; ++i) PromptLimiter().NoteWrong();
  bool enabledAtOpen = true;
  std::string note;
  PacedRun run({[&](HWND dlg) {
                  enabledAtOpen = OkEnabled(dlg);
                  note = Note(dlg);
                  return true;
                },
                Type("right-one"), Command(IDOK), UntilOkEnabled(), Type("right-one"), Command(IDOK)});
  const DWORD start = GetTickCount();
  run.Run();
  ASSERT_FALSE(run.timedOut);
  EXPECT_FALSE(enabledAtOpen);
  EXPECT_FALSE(note.empty());
  EXPECT_TRUE(run.accepted);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_GE(GetTickCount() - start, 500u);
}

}  // namespace
