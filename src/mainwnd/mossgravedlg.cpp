#include "mainwnd/mossgravedlg.h"

#include "resource.h"

CMossgraveDlg::CMossgraveDlg(CWnd* parent) : CDialog(IDD_MOSSGRAVE_DIALOG, parent) {
  m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr;
}

CMossgraveDlg::~CMossgraveDlg() = default;

void CMossgraveDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_NAVLIST, m_navList);
}

BOOL CMossgraveDlg::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) return TRUE;
  return CDialog::PreTranslateMessage(pMsg);
}

LRESULT CMossgraveDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CMossgraveDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  return TRUE;
}
