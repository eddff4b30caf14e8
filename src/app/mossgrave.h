// CMossgraveApp: single-instance start-up. The password prompt and then the
// main window run modally from InitInstance; there is no message loop of the
// program's own.
#pragma once
#include "framework/afxwin.h"

class CMossgraveApp : public CWinApp {
 public:
  CMossgraveApp();

  BOOL InitInstance() override;
  int ExitInstance() override;
};

extern CMossgraveApp theApp;

// Held for the life of the process: its existence keeps a second instance out.
extern HANDLE g_hInstanceMutex;
extern const char kInstanceMutexName[];  // "Mossgrave"
