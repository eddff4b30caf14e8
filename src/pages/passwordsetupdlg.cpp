#include "pages/passwordsetupdlg.h"

#include <cstring>

#include "resource.h"
#include "settings/passwordcheck.h"
#include "settings/settings.h"

namespace {
constexpr UINT_PTR kWaitTimerId = 0x4D48;

}  // namespace

GuessLimiter& OldPasswordLimiter() {
  static GuessLimiter limiter;
  return limiter;
}

CPasswordSetupDlg::CPasswordSetupDlg()
    : CSettingsPage(IDD_PASSWORD_SETUP, true), m_wait(OldPasswordLimiter(), kWaitTimerId) {}

LRESULT CPasswordSetupDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && m_wait.OnTimer(wParam)) return 0;
  return CSettingsPage::WindowProc(message, wParam, lParam);
}

CPasswordSetupDlg::~CPasswordSetupDlg() {
  // The button points at the helper; let the window go before the helper does.
  if (m_hWnd) DestroyWindow();
}

void CPasswordSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CSettingsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PWD_OLD, m_oldPassword);
  DDX_Control(pDX, IDC_PWD_NEW, m_newPassword);
  DDX_Control(pDX, IDC_PWD_CONFIRM, m_confirmPassword);
  DDX_Control(pDX, IDC_PWD_CHANGE, m_changeButton);
}

BOOL CPasswordSetupDlg::OnInitDialog() {
  CSettingsPage::OnInitDialog();
  m_changeButton.AttachThemeHelper(&m_themeHelper);
  // A stored password is one value of at most 255 bytes: typing stops there
  // rather than a longer one being dropped when it is stored.
  for (const CEdit* edit : {&m_oldPassword, &m_newPassword, &m_confirmPassword})
    edit->SendMessage(EM_LIMITTEXT, kValueSize - 1);
  m_wait.Attach(m_hWnd, IDC_PWD_CHANGE, IDC_PWD_WAIT);
  return TRUE;
}

BOOL CPasswordSetupDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_PWD_CHANGE) {
    OnChangePassword();
    return TRUE;
  }
  return CSettingsPage::OnCommand(wParam, lParam);
}

void CPasswordSetupDlg::OnChangePassword() {
  // The boxes have no owner: clicks under them must not stack a second change.
  if (m_bAsking) return;
  m_bAsking = true;
  ChangePassword();
  m_bAsking = false;
}

void CPasswordSetupDlg::ChangePassword() {
  if (!m_wait.MayCheck()) return;  // during a wait a click is refused unseen
  if (AppMessageBox("确定要更新密码吗?", MB_OKCANCEL) != IDOK) return;
  const std::string oldText = m_oldPassword.GetWindowText();
  const std::string newText = m_newPassword.GetWindowText();
  const std::string confirmText = m_confirmPassword.GetWindowText();
  // A click posted while the question was open may come after a wrong entry.
  if (!m_wait.MayCheck()) return;
  if (!CheckOldPassword(oldText.c_str())) {
    m_wait.NoteWrong();
    AppMessageBox("旧密码错误", MB_OK);
    return;
  }
  m_wait.NoteRight();
  if (newText != confirmText) {
    AppMessageBox("新密码与确认密码不一致", MB_OK);
    return;
  }
  if (!SetPassword(newText.c_str())) {
    // The edits stay filled, so the parent sees what was refused.
    AppMessageBox("新密码没有保存:密码最长255字节(一个汉字占两个字节),或者设置文件无法写入。", MB_OK);
    return;
  }
  m_oldPassword.SetWindowText("");
  m_newPassword.SetWindowText("");
  m_confirmPassword.SetWindowText("");
}
