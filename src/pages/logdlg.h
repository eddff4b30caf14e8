// The log page: never shown; carries the two log settings through saves.
#pragma once
#include "controls/themehelperst.h"
#include "controls/xpstylebuttonst.h"
#include "pages/settingspage.h"
#include "settings/savetext.h"

class CLogDlg : public CSettingsPage {
 public:
  CLogDlg();
  ~CLogDlg() override;

  // The log flag and the days combo box's text as shown.
  void CollectSaveValues(SaveValues& v) const;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

 private:
  CButton m_logEnable;
  CComboBox m_saveDays;
  CXPStyleButtonSt m_clearLog;
  CXPStyleButtonSt m_viewLog;
  CThemeHelperSt m_themeHelper;
};
