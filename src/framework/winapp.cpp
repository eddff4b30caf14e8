#include "framework/winapp.h"

#include <windows.h>
#include <commctrl.h>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
  g_pApp = this;
  m_hInstance = ::GetModuleHandleA(nullptr);
}

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }

BOOL CWinApp::InitInstance() { return FALSE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!AfxPreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id)); }

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
