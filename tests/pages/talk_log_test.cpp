#include "pages/logdlg.h"
#include "pages/talklimitdlg.h"

#include "pagesfixture.h"
#include "resource.h"

namespace {
class TalkPageTest : public PageTest {};

const int kTalkBoxes[] = {IDC_TALK_ICQ,    IDC_TALK_MSN, IDC_TALK_QQ,    IDC_TALK_SKYPE,
                          IDC_TALK_GOOGLE, IDC_TALK_AIM, IDC_TALK_SINAUC};

TEST_F(TalkPageTest, TicksTheBoxesWhoseNameIsStored) {
  const struct {
    const char* what;
    std::string text;
    std::vector<int> ticked;
  } cases[] = {
      {"default file", BuildDefaultSettingsText(), {}},
      {"no file", "", {}},
      {"icq and sina", Lines({"Talk limit name:icq.exe", "Talk limit name:icqlite.exe", "Talk limit name:sinauc.exe"}),
       {IDC_TALK_ICQ, IDC_TALK_SINAUC}},
      {"icqlite alone is not icq", Lines({"Talk limit name:icqlite.exe"}), {}},
      {"every tool",
       Lines({"Talk limit name:icq.exe", "Talk limit name:msmsgs.exe", "Talk limit name:qq.exe",
              "Talk limit name:skype.exe", "Talk limit name:googletalk.exe", "Talk limit name:aim.exe",
              "Talk limit name:sinauc.exe"}),
       {IDC_TALK_ICQ, IDC_TALK_MSN, IDC_TALK_QQ, IDC_TALK_SKYPE, IDC_TALK_GOOGLE, IDC_TALK_AIM, IDC_TALK_SINAUC}},
      {"qq only", Lines({"Talk limit name:qq.exe"}), {IDC_TALK_QQ}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteSettingsFiles();
    if (!c.text.empty()) Store(c.text);
    CTalkLimitDlg page;
    Open(page, IDD_TALK_LIMIT);
    for (int id : kTalkBoxes) {
      const bool expected = std::find(c.ticked.begin(), c.ticked.end(), id) != c.ticked.end();
      EXPECT_EQ(Check(page, id), expected ? 1 : 0) << id;
    }
    EXPECT_FALSE(g_bSettingsChanged);
  }
}

TEST_F(TalkPageTest, EveryBoxSetsTheFlagAndFeedsItsToolInTheSave) {
  StoreDefault();
  for (int i = 0; i < kChatToolCount; ++i) {
    SCOPED_TRACE(kChatTools[i].exeNames[0]);
    CTalkLimitDlg page;
    Open(page, IDD_TALK_LIMIT);
    g_bSettingsChanged = false;
    Click(page, kChatTools[i].boxId);
    EXPECT_TRUE(g_bSettingsChanged);
    SaveValues v;
    page.CollectSaveValues(v);
    for (int j = 0; j < kChatToolCount; ++j) EXPECT_EQ(v.chatChecked[j], i == j) << j;
    g_bSettingsChanged = false;
    Click(page, kChatTools[i].boxId);
    EXPECT_TRUE(g_bSettingsChanged) << "cleared again is still a change";
    page.CollectSaveValues(v);
    EXPECT_FALSE(v.chatChecked[i]);
  }
}

TEST_F(TalkPageTest, TicksSurviveHidingAndAFullRoundTrip) {
  StoreDefault();
  SaveValues v;
  {
    CTalkLimitDlg page;
    Open(page, IDD_TALK_LIMIT);
    Click(page, IDC_TALK_ICQ);
    Click(page, IDC_TALK_SINAUC);
    page.ShowWindow(SW_HIDE);
    page.ShowWindow(SW_SHOW);
    page.CollectSaveValues(v);
  }
  const std::string text = BuildSettingsText(v);
  EXPECT_NE(text.find("Talk limit name:icq.exe\r\nTalk limit name:icqlite.exe\r\nTalk limit name:sinauc.exe\r\n"),
            std::string::npos);
  Store(text);
  CTalkLimitDlg again;
  Open(again, IDD_TALK_LIMIT);
  EXPECT_EQ(Check(again, IDC_TALK_ICQ), 1);
  EXPECT_EQ(Check(again, IDC_TALK_SINAUC), 1);
  EXPECT_EQ(Check(again, IDC_TALK_QQ), 0);
}

class LogPageTest : public PageTest {};

TEST_F(LogPageTest, ShowsAndCarriesTheTwoLogValues) {
  const struct {
    const char* what;
    std::string text;
    int checked;
    const char* days;
  } cases[] = {
      {"default file", BuildDefaultSettingsText(), 0, "3"},
      {"no lines", Lines({"Password:1"}), 0, "0"},
      {"no file", "", 0, "0"},
      {"on, twelve days", Lines({"Enable log:1", "Log save time:12"}), 1, "12"},
      {"not a number", Lines({"Log save time:abc"}), 0, "0"},
      {"leading digits", Lines({"Log save time:7days"}), 0, "7"},
      {"empty value", Lines({"Log save time:"}), 0, "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteSettingsFiles();
    if (!c.text.empty()) Store(c.text);
    CLogDlg page;
    Open(page, IDD_LOG);
    EXPECT_EQ(Check(page, IDC_LOG_ENABLE), c.checked);
    char text[64] = {};
    ::GetWindowTextA(page.GetDlgItem(IDC_LOG_DAYS), text, sizeof text);
    EXPECT_STREQ(text, c.days);
    EXPECT_GE(::SendMessageA(page.GetDlgItem(IDC_LOG_DAYS), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>("3")),
              0)
        << "the list holds its item 3";
    SaveValues v;
    page.CollectSaveValues(v);
    EXPECT_EQ(v.logEnabled, c.checked == 1);
    EXPECT_EQ(v.logSaveTime, c.days);
  }
}

TEST_F(LogPageTest, NothingOnThePageSetsTheFlag) {
  StoreDefault();
  CLogDlg page;
  Open(page, IDD_LOG);
  for (int id : {IDC_LOG_ENABLE, IDC_LOG_CLEAR, IDC_LOG_VIEW}) Click(page, id);
  EXPECT_EQ(Check(page, IDC_LOG_ENABLE), 1);
  EXPECT_FALSE(g_bSettingsChanged);
  ::SetWindowTextA(page.GetDlgItem(IDC_LOG_DAYS), "30");
  SaveValues v;
  page.CollectSaveValues(v);
  EXPECT_TRUE(v.logEnabled);
  EXPECT_EQ(v.logSaveTime, "30") << "the text as shown";
}
}  // namespace
