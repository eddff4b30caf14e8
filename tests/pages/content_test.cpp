#include "pages/contentfilterdlg.h"

#include "pagesfixture.h"
#include "resource.h"

namespace {
struct ContentLoadCase {
  const char* what;
  std::string text;  // empty: no settings file at all
  int adult, high, medium, low, popup, flash, video;
  int degree;
};

class ContentPageTest : public PageTest {};

TEST_F(ContentPageTest, LoadsWhatTheSettingsHold) {
  const ContentLoadCase cases[] = {
      {"default file", BuildDefaultSettingsText(), 0, 1, 0, 0, 0, 0, 0, 1},
      {"no lines", Lines({"Password:1"}), 0, 0, 0, 0, 0, 0, 0, 0},
      {"no file", "", 0, 0, 0, 0, 0, 0, 0, 0},
      {"all on, low",
       Lines({"Enable adult filter:1", "Adult filter degree:3", "Flash Window filter:1", "Open Window filter:1",
              "Web Video filter:1"}),
       1, 0, 0, 1, 1, 1, 1, 3},
      {"medium, popup only", Lines({"Adult filter degree:2", "Open Window filter:1"}), 0, 0, 1, 0, 1, 0, 0, 2},
      {"degree out of range", Lines({"Adult filter degree:7"}), 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const ContentLoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteSettingsFiles();
    if (!c.text.empty()) Store(c.text);
    CContentFilterDlg page;
    Open(page, IDD_CONTENT_FILTER);
    EXPECT_EQ(Check(page, IDC_ADULT_FILTER), c.adult);
    EXPECT_EQ(Check(page, IDC_DEGREE_HIGH), c.high);
    EXPECT_EQ(Check(page, IDC_DEGREE_MEDIUM), c.medium);
    EXPECT_EQ(Check(page, IDC_DEGREE_LOW), c.low);
    EXPECT_EQ(Check(page, IDC_POPUP_FILTER), c.popup);
    EXPECT_EQ(Check(page, IDC_FLASH_FILTER), c.flash);
    EXPECT_EQ(Check(page, IDC_VIDEO_FILTER), c.video);
    SaveValues v;
    v.adultDegree = -1;
    page.CollectSaveValues(v);
    EXPECT_EQ(v.adultFilter, c.adult == 1);
    EXPECT_EQ(v.adultDegree, c.degree);
    EXPECT_EQ(v.popupFilter, c.popup == 1);
    EXPECT_EQ(v.flashFilter, c.flash == 1);
    EXPECT_EQ(v.videoFilter, c.video == 1);
    EXPECT_FALSE(g_bSettingsChanged) << "loading is no change";
  }
}

TEST_F(ContentPageTest, EveryBoxSetsTheFlagEvenWhenClickedBack) {
  StoreDefault();
  for (int id : {IDC_ADULT_FILTER, IDC_POPUP_FILTER, IDC_FLASH_FILTER, IDC_VIDEO_FILTER}) {
    SCOPED_TRACE(id);
    CContentFilterDlg page;
    Open(page, IDD_CONTENT_FILTER);
    g_bSettingsChanged = false;
    Click(page, id);
    EXPECT_EQ(Check(page, id), 1);
    EXPECT_TRUE(g_bSettingsChanged);
    g_bSettingsChanged = false;
    Click(page, id);
    EXPECT_EQ(Check(page, id), 0);
    EXPECT_TRUE(g_bSettingsChanged) << "changed back is still a change";
  }
}

TEST_F(ContentPageTest, DegreeRadiosKeepExactlyOneSelected) {
  StoreDefault();
  CContentFilterDlg page;
  Open(page, IDD_CONTENT_FILTER);
  const struct {
    int click;
    int degree;
  } steps[] = {{IDC_DEGREE_LOW, 3}, {IDC_DEGREE_MEDIUM, 2}, {IDC_DEGREE_MEDIUM, 2}, {IDC_DEGREE_HIGH, 1},
               {IDC_DEGREE_LOW, 3}};
  for (const auto& s : steps) {
    g_bSettingsChanged = false;
    Click(page, s.click);
    EXPECT_TRUE(g_bSettingsChanged) << "also for the radio already selected";
    const int high = Check(page, IDC_DEGREE_HIGH), medium = Check(page, IDC_DEGREE_MEDIUM),
              low = Check(page, IDC_DEGREE_LOW);
    EXPECT_EQ(high + medium + low, 1);
    EXPECT_EQ(page.GetFilterDegree(), s.degree);
  }
}

TEST_F(ContentPageTest, ValuesSurviveHidingAndShowingAndReachTheSave) {
  StoreDefault();
  CContentFilterDlg page;
  Open(page, IDD_CONTENT_FILTER);
  Click(page, IDC_ADULT_FILTER);
  Click(page, IDC_DEGREE_MEDIUM);
  Click(page, IDC_VIDEO_FILTER);
  page.ShowWindow(SW_HIDE);
  Pump();
  page.ShowWindow(SW_SHOW);
  Pump();
  SaveValues v;
  page.CollectSaveValues(v);
  EXPECT_TRUE(v.adultFilter);
  EXPECT_EQ(v.adultDegree, 2);
  EXPECT_FALSE(v.popupFilter);
  EXPECT_FALSE(v.flashFilter);
  EXPECT_TRUE(v.videoFilter);
}
}  // namespace
