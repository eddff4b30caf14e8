#include <windows.h>

#include "app/mossgrave.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  // Touching the application object links it in from the library.
  theApp.m_hInstance = hInstance;
  return AfxWinMain(hInstance);
}
