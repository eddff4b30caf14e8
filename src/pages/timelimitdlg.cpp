#include "pages/timelimitdlg.h"

#include "resource.h"
#include "settings/settings.h"

bool IsValidTimeOfDay(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

CTimeLimitDlg::CTimeLimitDlg() : CSettingsPage(IDD_TIME_LIMIT, true) {}

CTimeLimitDlg::~CTimeLimitDlg() = default;

void CTimeLimitDlg::DoDataExchange(CDataExchange* pDX) {
  CSettingsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_TIME_LIMIT, m_timeLimit);
  for (int i = 0; i < kTimeKeyCount; ++i) DDX_Control(pDX, IDC_TIME_FIRST + i, m_pickers[i]);
}

BOOL CTimeLimitDlg::OnInitDialog() {
  CSettingsPage::OnInitDialog();
  m_bLoading = true;  // setting the pickers is not a change by the user
  m_timeLimit.SetCheck(IsTimeLimitEnabled() ? BST_CHECKED : BST_UNCHECKED);
  SYSTEMTIME st = {};
  st.wYear = 1990;
  st.wMonth = 1;
  st.wDay = 1;
  for (int i = 0; i < kTimeKeyCount; ++i) {
    int hour = 0, minute = 0, second = 0;
    GetDayTime(kTimeKeys[i], hour, minute, second);
    m_pickers[i].SetFormat("HH:mm:ss");
    // A time that is no time of day is refused: the picker keeps the time it
    // was created with. Checked here too, so no picker version takes it.
    if (!IsValidTimeOfDay(hour, minute, second)) continue;
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = 0;
    m_pickers[i].SetTime(&st);
  }
  m_bLoading = false;
  return TRUE;
}

BOOL CTimeLimitDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_TIME_LIMIT) {
    OnSettingChanged();
    return TRUE;
  }
  return CSettingsPage::OnCommand(wParam, lParam);
}

BOOL CTimeLimitDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
  if (nm && nm->code == DTN_DATETIMECHANGE && nm->idFrom >= IDC_TIME_FIRST && nm->idFrom <= IDC_TIME_LAST) {
    if (!m_bLoading) OnSettingChanged();
    *pResult = 0;
    return TRUE;
  }
  return CSettingsPage::OnNotify(wParam, lParam, pResult);
}

void CTimeLimitDlg::CollectSaveValues(SaveValues& v) const {
  v.timeLimit = CheckOf(m_timeLimit) == BST_CHECKED;
  for (int i = 0; i < kTimeKeyCount; ++i) {
    SYSTEMTIME st = {};
    if (m_pickers[i].m_hWnd) m_pickers[i].GetTime(&st);
    v.times[i].hour = st.wHour;
    v.times[i].minute = st.wMinute;
    v.times[i].second = st.wSecond;
  }
}
