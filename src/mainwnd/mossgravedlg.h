// The settings window: navigation list, page area, buttons, tray icon, menus
// and the save, exit and uninstall flows.
#pragma once
#include "framework/afxwin.h"

#include <shellapi.h>

#include "mainwnd/leftlist.h"

class CMossgraveDlg : public CDialog {
 public:
  explicit CMossgraveDlg(CWnd* parent = nullptr);
  ~CMossgraveDlg() override;

  BOOL PreTranslateMessage(MSG* pMsg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;

 public:
  CLeftList m_navList;
  HICON m_hIcon;
};
