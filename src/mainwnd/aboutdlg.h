// The About box: icon, name and version and a contact link on a texture.
#pragma once
#include "controls/hyperlink.h"
#include "controls/themehelperst.h"
#include "controls/xpstylebuttonst.h"
#include "framework/afxwin.h"

// The contact shown after "Email:" in the About box.
extern const char kContactAddress[];

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
  ~CAboutDlg() override;

  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(HDC hdc, HWND hCtl, UINT nCtlColor) override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;

 public:
  CBrush m_brushBack;
  CThemeHelperSt m_themeHelper;
  CXPStyleButtonSt m_okButton;
  CHyperlink m_mailLink;
};
