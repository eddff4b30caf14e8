#include "app/inputpassdlg.h"

#include <cstring>
#include <string>

#include "resource.h"
#include "settings/globals.h"
#include "settings/passwordcheck.h"
#include "settings/settings.h"

bool IsPasswordAccepted(const char* entry) { return CheckPassword(entry); }

CInputPassDlg::CInputPassDlg(CWnd* parent)
    : CDialog(IDD_INPUT_PASS, parent), m_whiteBrush(RGB(255, 255, 255)) {}

void CInputPassDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDCANCEL, m_btnCancel);
  DDX_Control(pDX, IDOK, m_btnOK);
  DDX_Control(pDX, IDC_PASSWORD, m_editPassword);
}

BOOL CInputPassDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  g_bPromptOpen = true;
  m_btnCancel.AttachThemeHelper(&m_themeHelper);
  m_btnOK.AttachThemeHelper(&m_themeHelper);
  ::SetForegroundWindow(m_hWnd);
  m_editPassword.SetFocus();
  return FALSE;  // the focus is set
}

void CInputPassDlg::OnOK() {
  // The whole entry, however long: a cut copy could match a stored prefix.
  std::string entry = m_editPassword.GetWindowText();
  if (IsPasswordAccepted(entry.c_str())) {
    m_bAccepted = TRUE;
    g_bPromptOpen = false;
    CDialog::OnOK();
    return;
  }
  AppMessageBox("密码错误", MB_OK);
  m_editPassword.SetWindowText("");
  m_bAccepted = FALSE;
}

void CInputPassDlg::OnCancel() {
  m_bAccepted = FALSE;
  g_bPromptOpen = false;
  CDialog::OnCancel();
}

HBRUSH CInputPassDlg::OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor) {
  HBRUSH brush = CDialog::OnCtlColor(hdc, hCtl, nCtlColor);
  switch (nCtlColor) {
    case CTLCOLOR_DLG:
      return m_whiteBrush;
    case CTLCOLOR_STATIC:
      ::SetBkMode(hdc, TRANSPARENT);
      return m_whiteBrush;
    default:
      return brush;
  }
}
