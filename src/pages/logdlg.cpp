#include "pages/logdlg.h"

#include <cstdio>

#include "resource.h"
#include "settings/settings.h"

CLogDlg::CLogDlg() : CSettingsPage(IDD_LOG, true) {}

CLogDlg::~CLogDlg() {
  // The buttons point at the helper; let the window go before the helper does.
  if (m_hWnd) DestroyWindow();
}

void CLogDlg::DoDataExchange(CDataExchange* pDX) {
  CSettingsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LOG_ENABLE, m_logEnable);
  DDX_Control(pDX, IDC_LOG_DAYS, m_saveDays);
  DDX_Control(pDX, IDC_LOG_CLEAR, m_clearLog);
  DDX_Control(pDX, IDC_LOG_VIEW, m_viewLog);
}

BOOL CLogDlg::OnInitDialog() {
  CSettingsPage::OnInitDialog();
  m_clearLog.AttachThemeHelper(&m_themeHelper);
  m_viewLog.AttachThemeHelper(&m_themeHelper);
  // The template's initial list may not have reached the combo box (no
  // dialog-init data in this resource compiler's output): put "3" in.
  if (m_saveDays.FindStringExact("3") < 0) m_saveDays.AddString("3");
  const bool enabled = IsLogEnabled();
  const int days = GetLogSaveDays();
  m_logEnable.SetCheck(enabled ? BST_CHECKED : BST_UNCHECKED);
  char text[32];
  snprintf(text, sizeof text, "%d", days);
  m_saveDays.SetWindowText(text);
  return TRUE;
}

void CLogDlg::CollectSaveValues(SaveValues& v) const {
  v.logEnabled = CheckOf(m_logEnable) == BST_CHECKED;
  // The value is one line of the settings: at most 255 bytes.
  char text[kValueSize] = {};
  if (m_saveDays.m_hWnd) m_saveDays.GetWindowText(text, sizeof text);
  v.logSaveTime = text;
}
