// The program filter page: the programs found in the Start menu, ticked when
// chosen, and whether the ticked ones are allowed or forbidden the network.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

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
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

 private:
  LRESULT OnScanDone();
  void FillSomeRows();
  void PrepareProgramIcons(int count);
  void LoadIconOfItem(int item);
  HICON FileIcon(const std::string& path);
  void ReleaseFileIcons();
  void LayOutControls();
  void SelectFilterType(int id);

  CImageList m_imageList;
  CListCtrl m_programList;
  CButton m_programFilter;
  CButton m_allowRadio;
  CButton m_denyRadio;
  bool m_bScanDone = false;

  // The rows still to go in after the scan handed over, in the table's order.
  struct PendingRow {
    std::string name;
    bool chosen;
  };
  static constexpr LONGLONG kFirstShareMs = 15;  // about this long, the rows shown first
  static constexpr LONGLONG kFillShareMs = 40;   // about this long, each further turn
  static constexpr UINT_PTR kFillTimer = 0x4d47;
  std::vector<PendingRow> m_pending;
  size_t m_filled = 0;
  bool m_bFilling = false;
  bool m_bFirstShareShown = false;

  // Image i is the icon of the table's entry i, put in when a row showing it
  // is first drawn: extracting thousands of icons up front froze the window.
  HICON m_genericIcon = nullptr;             // shared resource, never destroyed
  std::vector<std::string> m_iconFiles;      // per image: file to extract from, empty: generic
  std::vector<bool> m_iconLoaded;            // per image
  std::unordered_map<std::string, HICON> m_fileIcons;  // by lower-case path; null: none in it
};
