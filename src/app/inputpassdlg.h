// CInputPassDlg: the modal password check in front of the settings window.
// Callers read m_bAccepted after DoModal; the dialog ends only with the
// right password or with Cancel.
#pragma once
#include "app/guesswait.h"
#include "controls/themehelperst.h"
#include "controls/xpstylebuttonst.h"
#include "framework/afxwin.h"

class CInputPassDlg : public CDialog {
 public:
  explicit CInputPassDlg(CWnd* parent = nullptr);

  BOOL m_bAccepted = FALSE;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  HBRUSH OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The factory password let the parent in: ask for an own one now, on the
  // password page.
  static void AskForOwnPassword();

  CThemeHelperSt m_themeHelper;
  CBrush m_whiteBrush;
  CXPStyleButtonSt m_btnCancel;
  CXPStyleButtonSt m_btnOK;
  CEdit m_editPassword;
  // Wrong entries are counted across every prompt of the process.
  CGuessWait m_wait;
  bool m_bReportingWrong = false;  // the wrong-entry box is open
};

// Whether entry opens the prompt: CheckPassword (settings/passwordcheck.h).
// The stored password is compared whole; when none can be read (both
// settings files unreadable) only the factory password does, so neither an
// empty entry gets in nor is the parent locked out.
bool IsPasswordAccepted(const char* entry);

// The count of wrong entries and the wait after them, for every prompt.
GuessLimiter& PromptLimiter();
