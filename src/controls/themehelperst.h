// CThemeHelperSt: the visual-styles library loaded at run time. Each call
// looks its entry point up anew and has a harmless answer when the library
// or the function is missing, so the program runs where there is none.
#pragma once
#include <windows.h>
#include <uxtheme.h>

class CThemeHelperSt {
 public:
  CThemeHelperSt();
  // Loads another library in its place, from the system directory as well
  // (tests: a name that is not there gives a helper without a library).
  explicit CThemeHelperSt(const char* libraryName);
  virtual ~CThemeHelperSt();
  CThemeHelperSt(const CThemeHelperSt&) = delete;
  CThemeHelperSt& operator=(const CThemeHelperSt&) = delete;

  // Virtual so that a test can stand in for a themed desktop.
  virtual HTHEME OpenThemeData(HWND hwnd, LPCWSTR classList);
  virtual HRESULT CloseThemeData(HTHEME theme);
  // Paints the parent's background under the rectangle first when the window
  // is given and the library can.
  virtual HRESULT DrawThemeBackground(HTHEME theme, HWND hwnd, HDC hdc, int partId, int stateId, const RECT* rect,
                                      const RECT* clipRect);
  virtual BOOL IsAppThemed();

  bool IsLoaded() const { return m_hDll != nullptr; }

 private:
  FARPROC Proc(const char* name) const;
  HMODULE m_hDll = nullptr;
};
