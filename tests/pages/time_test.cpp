#include "pages/timelimitdlg.h"

#include "pagesfixture.h"
#include "resource.h"

namespace {
class TimePageTest : public PageTest {
 protected:
  static SYSTEMTIME PickerTime(const CWnd& page, int id) {
    SYSTEMTIME st = {};
    ::SendMessageA(page.GetDlgItem(id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
    return st;
  }
  static int SecondsOfDay(const SYSTEMTIME& st) { return st.wHour * 3600 + st.wMinute * 60 + st.wSecond; }
  static LRESULT NotifyChange(const CWnd& page, int id) {
    NMDATETIMECHANGE nm = {};
    nm.nmhdr.hwndFrom = page.GetDlgItem(id);
    nm.nmhdr.idFrom = static_cast<UINT_PTR>(id);
    nm.nmhdr.code = DTN_DATETIMECHANGE;
    nm.dwFlags = GDT_VALID;
    return ::SendMessageA(page, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&nm));
  }
};

TEST_F(TimePageTest, DefaultsShowTheFullDayAndSaveBackUnchanged) {
  StoreDefault();
  CTimeLimitDlg page;
  Open(page, IDD_TIME_LIMIT);
  EXPECT_EQ(Check(page, IDC_TIME_LIMIT), 0);
  for (int i = 0; i < kTimeKeyCount; ++i) {
    const SYSTEMTIME st = PickerTime(page, IDC_TIME_FIRST + i);
    const bool start = i % 2 == 0;
    EXPECT_EQ(SecondsOfDay(st), start ? 0 : 23 * 3600 + 59 * 60 + 59) << kTimeKeys[i];
    EXPECT_EQ(st.wYear, 1990);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
  }
  char format[64] = {};
  // The picker shows the 24-hour format.
  ::GetWindowTextA(page.GetDlgItem(IDC_TIME_FIRST + 1), format, sizeof format);
  EXPECT_STREQ(format, "23:59:59");
  EXPECT_FALSE(g_bSettingsChanged) << "loading the pickers is no change";
  SaveValues v;
  v.timeLimit = true;
  page.CollectSaveValues(v);
  const std::string text = BuildSettingsText(v);
  EXPECT_NE(text.find("Enable time limit:0\r\nMonStartTime:00:00:00\r\nMonEndTime:23:59:59\r\nTueStartTime:00:00:00"),
            std::string::npos);
  EXPECT_NE(text.find("SunStartTime:00:00:00\r\nSunEndTime:23:59:59\r\n"), std::string::npos);
}

TEST_F(TimePageTest, StoredTimesMissingAndInvalidOnes) {
  SYSTEMTIME before;
  ::GetLocalTime(&before);
  Store(Lines({"Enable time limit:1", "MonStartTime:07:05:09", "MonEndTime:25:00:00", "TueStartTime:10:61:00",
               "TueEndTime:12:00:60", "WedStartTime:23:59:59", "WedEndTime:18:30:00", "ThuStartTime:7:5:9"}));
  CTimeLimitDlg page;
  Open(page, IDD_TIME_LIMIT);
  SYSTEMTIME after;
  ::GetLocalTime(&after);
  EXPECT_EQ(Check(page, IDC_TIME_LIMIT), 1);
  const int created[2] = {SecondsOfDay(before), SecondsOfDay(after)};
  const struct {
    int index;
    int seconds;  // -1: the time of day at which the page was created
  } cases[] = {
      {0, 7 * 3600 + 5 * 60 + 9},  // a valid time
      {1, -1},                     // hour 25
      {2, -1},                     // minute 61
      {3, -1},                     // second 60
      {4, 23 * 3600 + 59 * 60 + 59},
      {5, 18 * 3600 + 30 * 60},
      {6, 7 * 3600 + 0 * 60 + 0},  // "7:5:9": fields by position: "7:" 7, ":9" 0, none 0
      {7, 0},                      // missing line
      {13, 0},
  };
  SaveValues v;
  page.CollectSaveValues(v);
  EXPECT_TRUE(v.timeLimit);
  for (const auto& c : cases) {
    SCOPED_TRACE(kTimeKeys[c.index]);
    const SYSTEMTIME st = PickerTime(page, IDC_TIME_FIRST + c.index);
    const int got = SecondsOfDay(st);
    const int saved = v.times[c.index].hour * 3600 + v.times[c.index].minute * 60 + v.times[c.index].second;
    EXPECT_EQ(saved, got);
    if (c.seconds >= 0) {
      EXPECT_EQ(got, c.seconds);
    } else if (created[0] <= created[1]) {  // not across midnight
      EXPECT_GE(got, created[0]);
      EXPECT_LE(got, created[1]);
    }
  }
  EXPECT_NE(BuildSettingsText(v).find("MonStartTime:07:05:09\r\n"), std::string::npos);
}

TEST_F(TimePageTest, EveryPickerChangeAndTheSwitchSetTheFlag) {
  StoreDefault();
  CTimeLimitDlg page;
  Open(page, IDD_TIME_LIMIT);
  for (int id = IDC_TIME_FIRST; id <= IDC_TIME_LAST; ++id) {
    SCOPED_TRACE(id);
    g_bSettingsChanged = false;
    SYSTEMTIME st = PickerTime(page, id);
    st.wHour = 7;
    ::SendMessageA(page.GetDlgItem(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    EXPECT_EQ(NotifyChange(page, id), 0);
    EXPECT_TRUE(g_bSettingsChanged);
  }
  SaveValues v;
  page.CollectSaveValues(v);
  for (int i = 0; i < kTimeKeyCount; ++i) EXPECT_EQ(v.times[i].hour, 7) << kTimeKeys[i];
  g_bSettingsChanged = false;
  Click(page, IDC_TIME_LIMIT);
  EXPECT_TRUE(g_bSettingsChanged);
  g_bSettingsChanged = false;
  Click(page, IDC_TIME_LIMIT);
  EXPECT_TRUE(g_bSettingsChanged) << "clicked back is still a change";
  EXPECT_EQ(Check(page, IDC_TIME_LIMIT), 0);
}

TEST_F(TimePageTest, TimesSurviveHidingAndShowing) {
  StoreDefault();
  CTimeLimitDlg page;
  Open(page, IDD_TIME_LIMIT);
  SYSTEMTIME st = PickerTime(page, 1057);
  st.wHour = 9;
  st.wMinute = 15;
  st.wSecond = 0;
  ::SendMessageA(page.GetDlgItem(1057), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  page.ShowWindow(SW_HIDE);
  Pump();
  page.ShowWindow(SW_SHOW);
  Pump();
  SaveValues v;
  page.CollectSaveValues(v);
  EXPECT_EQ(v.times[8].hour, 9);  // Friday start
  EXPECT_EQ(v.times[8].minute, 15);
}

// What the platform's picker itself does with a time that is no time of day.
TEST_F(TimePageTest, PickerRefusesAnInvalidTimeOfDay) {
  HWND picker = ::CreateWindowExA(0, DATETIMEPICK_CLASSA, "", WS_CHILD | DTS_TIMEFORMAT, 0, 0, 100, 20, host_,
                                  nullptr, ::GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(picker, nullptr);
  SYSTEMTIME good = {1990, 1, 0, 1, 10, 20, 30, 0};
  EXPECT_TRUE(::SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&good)));
  SYSTEMTIME bad = good;
  bad.wHour = 25;
  const LRESULT accepted = ::SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&bad));
  SYSTEMTIME now = {};
  ::SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&now));
  EXPECT_EQ(accepted, 0);
  EXPECT_EQ(now.wHour, 10) << "the picker keeps the time it had";
  EXPECT_EQ(now.wMinute, 20);
  ::DestroyWindow(picker);
  EXPECT_FALSE(IsValidTimeOfDay(25, 0, 0));
  EXPECT_FALSE(IsValidTimeOfDay(0, 60, 0));
  EXPECT_FALSE(IsValidTimeOfDay(0, 0, 60));
  EXPECT_TRUE(IsValidTimeOfDay(23, 59, 59));
  EXPECT_TRUE(IsValidTimeOfDay(0, 0, 0));
}
}  // namespace
