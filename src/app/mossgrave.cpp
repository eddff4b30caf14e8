#include "app/mossgrave.h"

#include "app/blocklogfolder.h"
#include "app/inputpassdlg.h"
#include "mainwnd/mossgravedlg.h"
#include "provider/filterprovider.h"
#include "settings/settings.h"

const char kInstanceMutexName[] = "Mossgrave";
HANDLE g_hInstanceMutex = nullptr;

CMossgraveApp theApp;

CMossgraveApp::CMossgraveApp() : CWinApp(nullptr) {}

BOOL CMossgraveApp::InitInstance() {
  g_hInstanceMutex = ::CreateMutexA(nullptr, FALSE, kInstanceMutexName);
  const DWORD error = ::GetLastError();
  // Another instance owns the name (access denied: it runs under another
  // account): end silently and leave it alone.
  if (error == ERROR_ALREADY_EXISTS || (!g_hInstanceMutex && error == ERROR_ACCESS_DENIED)) return FALSE;

  EnsureSettingsFile();
  InstallFilterProvider();
  SYSTEMTIME today;
  ::GetLocalTime(&today);
  PrepareBlockLogFolder(BlockLogFolder(), GetLogSaveDays(), today);

  CInputPassDlg prompt;
  prompt.DoModal();
  if (!prompt.m_bAccepted) return FALSE;

  CMossgraveDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

int CMossgraveApp::ExitInstance() {
  if (g_hInstanceMutex) ::ReleaseMutex(g_hInstanceMutex);
  return CWinApp::ExitInstance();
}
