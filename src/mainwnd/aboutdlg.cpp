#include "mainwnd/aboutdlg.h"

#include <string>

#include "resource.h"

const char kContactAddress[] = "support@mossgrave.example";

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {
  CBitmap texture;
  texture.LoadBitmap(IDB_TEXTURE);
  m_brushBack.CreatePatternBrush(texture);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDOK, m_okButton);
  DDX_Control(pDX, IDC_MAILLINK, m_mailLink);
}

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_okButton.AttachThemeHelper(&m_themeHelper);
  const std::string target = std::string("mailto:") + kContactAddress;
  m_mailLink.SetLinkTarget(target.c_str());
  m_mailLink.SetUnderlineMode(1);
  return TRUE;
}

HBRUSH CAboutDlg::OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor) {
  HBRUSH base = CDialog::OnCtlColor(hdc, hCtl, nCtlColor);
  switch (nCtlColor) {
    case CTLCOLOR_DLG:
      return m_brushBack;
    case CTLCOLOR_STATIC:
      // The texture shows behind the texts and the link.
      ::SetBkMode(hdc, TRANSPARENT);
      return m_brushBack;
    default:
      return base;
  }
}
