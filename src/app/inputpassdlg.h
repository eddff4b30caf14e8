// CInputPassDlg: the modal password check in front of the settings window.
// Callers read m_bAccepted after DoModal; the dialog ends only with the
// right password or with Cancel.
#pragma once
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

  CThemeHelperSt m_themeHelper;
  CBrush m_whiteBrush;
  CXPStyleButtonSt m_btnCancel;
  CXPStyleButtonSt m_btnOK;
  CEdit m_editPassword;
};

// Whether entry opens the prompt. The stored password is compared whole and
// byte for byte; when none can be read (both settings files unreadable) only
// the factory password does, so neither an empty entry gets in nor is the
// parent locked out.
bool IsPasswordAccepted(const char* entry);
