// The Internet time limit page: the switch and a daily window per weekday.
#pragma once
#include "pages/settingspage.h"
#include "settings/savetext.h"

class CTimeLimitDlg : public CSettingsPage {
 public:
  CTimeLimitDlg();
  ~CTimeLimitDlg() override;

  // The switch and the fourteen pickers' times, in kTimeKeys order.
  void CollectSaveValues(SaveValues& v) const;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

 private:
  CButton m_timeLimit;
  CDateTimeCtrl m_pickers[kTimeKeyCount];  // 1049 (Monday start) to 1062 (Sunday end)
  bool m_bLoading = false;
};

// Whether hour, minute and second form a time of day a picker takes.
bool IsValidTimeOfDay(int hour, int minute, int second);
