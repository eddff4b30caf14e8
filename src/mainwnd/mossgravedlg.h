// The settings window: navigation list, page area, buttons, tray icon, menus
// and the save, exit and uninstall flows.
#pragma once
#include "framework/afxwin.h"

#include <shellapi.h>

#include "controls/themehelperst.h"
#include "controls/xpstylebuttonst.h"
#include "mainwnd/leftlist.h"
#include "pages/contentfilterdlg.h"
#include "pages/logdlg.h"
#include "pages/passwordsetupdlg.h"
#include "pages/programselectedsetupdlg.h"
#include "pages/talklimitdlg.h"
#include "pages/timelimitdlg.h"

class CMossgraveDlg : public CDialog {
 public:
  explicit CMossgraveDlg(CWnd* parent = nullptr);
  ~CMossgraveDlg() override;

  BOOL PreTranslateMessage(MSG* pMsg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;

  // What became of a full save's two files.
  enum class SaveResult { kSaved, kTooLong, kNothingWritten, kPartlyWritten };
  // Rebuilds the whole settings text from the pages and writes both files.
  SaveResult SaveAllSettings();
  // Flows started by the buttons, menus and the tray.
  void OnSave();
  void OnExit();
  void OnUninstall();
  void OnShowMainWindow();
  void OnTrayNotify(UINT mouseMessage);
  void OnAbout();
  void OnHelpTopics();
  void StartProgramScan();

  // The password check of the tray and of uninstall; tests replace it.
  virtual bool CheckPassword();
  // Starts a program through the shell; tests replace it.
  virtual void ShellOpen(const char* file, const char* parameters);
  // Shell_NotifyIconA; tests replace it.
  virtual BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data);
  // Lets a message through the system's filter of messages from less
  // privileged processes; false where the system has no such filter.
  virtual bool AllowMessageFromShell(UINT message);

  // Hidden windows are locked: only the password check shows them again.
  bool IsLocked() const { return m_bLocked; }

 protected:
  void DoDataExchange(CDataExchange* pDX) override;

 private:
  LRESULT OnShowPage(LPARAM index);
  void OnClose();
  void AddTrayIcon();
  void DrawFrame();
  void PlaceBelowToolbar();
  void ShowMainWindow(int cmd);
  CWnd* PageOfIndex(LPARAM index);
  // The password check, at most one at a time; false once a close is due.
  bool AskPassword();
  void ShowAfterPassword();
  void SetLocked(bool locked);
  bool NestedOpen() const { return m_bInFlow || m_bAboutOpen || m_bPromptOpen; }
  // Runs a close that waited for the nested dialogs, once the last is over.
  void RunWaitingClose();
  bool FinishSave();

 public:
  CToolBar m_toolBar;
  NOTIFYICONDATAA m_nid{};
  CImageList m_navImages;
  CPasswordSetupDlg m_passwordPage;
  CProgramSelectedSetupDlg m_programPage;
  CContentFilterDlg m_contentPage;
  CLogDlg m_logPage;
  CTalkLimitDlg m_talkPage;
  CTimeLimitDlg m_timePage;
  CThemeHelperSt m_themeHelper;
  CXPStyleButtonSt m_uninstallButton;
  CXPStyleButtonSt m_exitButton;
  CXPStyleButtonSt m_saveButton;
  CLeftList m_navList;
  HICON m_hIcon;

 private:
  UINT m_taskbarCreatedMsg;
  // A flow's question, the About box or a password check is open: no second
  // of its kind opens inside it, and a close that arrives meanwhile waits
  // until all of them are over.
  bool m_bInFlow = false;
  bool m_bAboutOpen = false;
  bool m_bPromptOpen = false;
  bool m_bLocked = false;
  bool m_bCloseWaiting = false;
  bool m_bClosed = false;
};
