// The chat tool page: chat programs kept off the network.
#pragma once
#include "pages/settingspage.h"
#include "settings/savetext.h"

class CTalkLimitDlg : public CSettingsPage {
 public:
  CTalkLimitDlg();
  ~CTalkLimitDlg() override;

  // Check states in the order of kChatTools.
  void CollectSaveValues(SaveValues& v) const;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  // The box of an id; null for any other id.
  const CButton* BoxOf(int id) const;

  CButton m_icq;
  CButton m_msn;
  CButton m_qq;
  CButton m_skype;
  CButton m_googleTalk;
  CButton m_aim;
  CButton m_sinaUc;
};
