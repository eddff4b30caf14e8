// The content filter page: adult pages and their strictness, pop-ups, Flash
// and on-line video.
#pragma once
#include "pages/settingspage.h"
#include "settings/savetext.h"

class CContentFilterDlg : public CSettingsPage {
 public:
  CContentFilterDlg();
  ~CContentFilterDlg() override;

  // 1 high, 2 medium, 3 low, 0 none selected; the first selected wins.
  int GetFilterDegree() const;
  // The page's part of a full save.
  void CollectSaveValues(SaveValues& v) const;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  void SelectDegree(int id);

  CButton m_adultFilter;
  CButton m_degreeHigh;
  CButton m_degreeMedium;
  CButton m_degreeLow;
  CButton m_popupFilter;
  CButton m_flashFilter;
  CButton m_videoFilter;
};
