// The program filter page: the programs found in the Start menu, ticked when
// chosen, and whether the ticked ones are allowed or forbidden the network.
#pragma once
#include "pages/programscan.h"
#include "pages/settingspage.h"
#include "settings/savetext.h"

class CProgramSelectedSetupDlg : public CSettingsPage {
 public:
  CProgramSelectedSetupDlg();
  ~CProgramSelectedSetupDlg() override;

  // The switch, the filter type and the chosen programs. Before the scan has
  // handed over, the list is not known yet: the programs stored in the
  // settings are carried over unchanged.
  void CollectSaveValues(SaveValues& v) const;
  bool HasScanHandedOver() const { return m_bScanDone; }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnScanDone();
  void LoadProgramIcons();
  void LayOutControls();
  void SelectFilterType(int id);

  CImageList m_imageList;
  CListCtrl m_programList;
  CButton m_programFilter;
  CButton m_allowRadio;
  CButton m_denyRadio;
  bool m_bScanDone = false;
};
