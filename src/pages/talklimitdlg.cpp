#include "pages/talklimitdlg.h"

#include "resource.h"
#include "settings/settings.h"

namespace {
// The boxes in the order the page loads them, with the name looked for.
struct TalkBox {
  int id;
  const char* exeName;
};
constexpr TalkBox kLoadOrder[] = {
    {IDC_TALK_ICQ, "icq.exe"},           {IDC_TALK_MSN, "msmsgs.exe"},  {IDC_TALK_QQ, "qq.exe"},
    {IDC_TALK_SKYPE, "skype.exe"},       {IDC_TALK_GOOGLE, "googletalk.exe"},
    {IDC_TALK_AIM, "aim.exe"},           {IDC_TALK_SINAUC, "sinauc.exe"},
};
}  // namespace

CTalkLimitDlg::CTalkLimitDlg() : CSettingsPage(IDD_TALK_LIMIT, true) {}

CTalkLimitDlg::~CTalkLimitDlg() = default;

void CTalkLimitDlg::DoDataExchange(CDataExchange* pDX) {
  CSettingsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_TALK_ICQ, m_icq);
  DDX_Control(pDX, IDC_TALK_MSN, m_msn);
  DDX_Control(pDX, IDC_TALK_QQ, m_qq);
  DDX_Control(pDX, IDC_TALK_SKYPE, m_skype);
  DDX_Control(pDX, IDC_TALK_GOOGLE, m_googleTalk);
  DDX_Control(pDX, IDC_TALK_AIM, m_aim);
  DDX_Control(pDX, IDC_TALK_SINAUC, m_sinaUc);
}

const CButton* CTalkLimitDlg::BoxOf(int id) const {
  switch (id) {
    case IDC_TALK_ICQ: return &m_icq;
    case IDC_TALK_MSN: return &m_msn;
    case IDC_TALK_QQ: return &m_qq;
    case IDC_TALK_SKYPE: return &m_skype;
    case IDC_TALK_GOOGLE: return &m_googleTalk;
    case IDC_TALK_AIM: return &m_aim;
    case IDC_TALK_SINAUC: return &m_sinaUc;
    default: return nullptr;
  }
}

BOOL CTalkLimitDlg::OnInitDialog() {
  CSettingsPage::OnInitDialog();
  for (const TalkBox& box : kLoadOrder)
    if (IsTalkToolLimited(box.exeName)) BoxOf(box.id)->SetCheck(BST_CHECKED);
  return TRUE;
}

BOOL CTalkLimitDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED && BoxOf(LOWORD(wParam))) {
    OnSettingChanged();
    return TRUE;
  }
  return CSettingsPage::OnCommand(wParam, lParam);
}

void CTalkLimitDlg::CollectSaveValues(SaveValues& v) const {
  for (int i = 0; i < kChatToolCount; ++i) {
    const CButton* box = BoxOf(kChatTools[i].boxId);
    v.chatChecked[i] = box && CheckOf(*box) == BST_CHECKED;
  }
}
