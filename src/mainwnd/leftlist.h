// The navigation list down the left of the settings window: a press on an
// item switches the page before the list handles the press.
#pragma once
#include "framework/controls.h"

class CLeftList : public CListCtrl {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
