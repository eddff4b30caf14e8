#include "app/inputpassdlg.h"

#include <cstring>
#include <string>

#include "mainwnd/messages.h"
#include "resource.h"
#include "settings/globals.h"
#include "settings/passwordcheck.h"
#include "settings/settings.h"

bool IsPasswordAccepted(const char* entry) { return CheckPassword(entry); }

namespace {
constexpr UINT_PTR kWaitTimerId = 0x4D47;

}  // namespace

GuessLimiter& PromptLimiter() {
  static GuessLimiter limiter;
  return limiter;
}

CInputPassDlg::CInputPassDlg(CWnd* parent)
    : CDialog(IDD_INPUT_PASS, parent), m_whiteBrush(RGB(255, 255, 255)), m_wait(PromptLimiter(), kWaitTimerId) {}

void CInputPassDlg::AskForOwnPassword() {
  AppMessageBox("您正在使用初始密码，任何人都可能知道它。请现在在“密码设置”页设置您自己的密码。", MB_OK);
  if (g_hMainWnd) ::PostMessageA(g_hMainWnd, WM_SHOWPAGE, 0, 0);  // a new window starts on that page
}

LRESULT CInputPassDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && m_wait.OnTimer(wParam)) return 0;
  return CDialog::WindowProc(message, wParam, lParam);
}

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
  m_wait.Attach(m_hWnd, IDOK, IDC_PASSWORD_WAIT);
  return FALSE;  // the focus is set
}

void CInputPassDlg::OnOK() {
  // Accepted and ending; during a wait an entry is refused unseen. The
  // wrong-entry box has no owner, so the prompt stays usable under it; an
  // entry taken meanwhile would be undone once the box is answered.
  if (m_bAccepted || m_bReportingWrong || !m_wait.MayCheck()) return;
  // The whole entry, however long: a cut copy could match a stored prefix.
  std::string entry = m_editPassword.GetWindowText();
  if (IsPasswordAccepted(entry.c_str())) {
    m_wait.NoteRight();
    m_bAccepted = TRUE;
    if (entry == kFactoryPassword) {
      ShowWindow(SW_HIDE);
      AskForOwnPassword();  // still counts as the prompt being open
    }
    g_bPromptOpen = false;
    CDialog::OnOK();
    return;
  }
  m_wait.NoteWrong();
  m_bReportingWrong = true;
  AppMessageBox("密码错误", MB_OK);
  m_bReportingWrong = false;
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
