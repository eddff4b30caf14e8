// CWinApp: the application object. AfxWinMain runs InitInstance and, when it
// answers TRUE, a message loop; ExitInstance's result is the exit code.
#pragma once
#include "framework/wnd.h"

class CWinApp {
 public:
  explicit CWinApp(const char* appName = nullptr);
  virtual ~CWinApp();

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();

  HICON LoadIcon(UINT id) const;

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  const char* m_pszAppName;
};

CWinApp* AfxGetApp();
int AfxWinMain(HINSTANCE instance);
