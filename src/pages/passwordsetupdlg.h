// The password page: changes the stored password at once.
#pragma once
#include "app/guesswait.h"
#include "controls/themehelperst.h"
#include "controls/xpstylebuttonst.h"
#include "pages/settingspage.h"

class CPasswordSetupDlg : public CSettingsPage {
 public:
  CPasswordSetupDlg();
  ~CPasswordSetupDlg() override;

  // Click on "修改密码".
  void OnChangePassword();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ChangePassword();

  CEdit m_oldPassword;
  CEdit m_newPassword;
  CEdit m_confirmPassword;
  CXPStyleButtonSt m_changeButton;
  CThemeHelperSt m_themeHelper;
  // Wrong old passwords are counted for the whole process.
  CGuessWait m_wait;
  bool m_bAsking = false;  // the change's question or a message of it is open
};

// The count of wrong old passwords and the wait after them, process-wide.
GuessLimiter& OldPasswordLimiter();
