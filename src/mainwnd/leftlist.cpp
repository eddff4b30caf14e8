#include "mainwnd/leftlist.h"

LRESULT CLeftList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return CListCtrl::WindowProc(message, wParam, lParam);
}
