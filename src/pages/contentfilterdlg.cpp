#include "pages/contentfilterdlg.h"

#include "resource.h"
#include "settings/settings.h"

CContentFilterDlg::CContentFilterDlg() : CSettingsPage(IDD_CONTENT_FILTER, true) {}

CContentFilterDlg::~CContentFilterDlg() = default;

void CContentFilterDlg::DoDataExchange(CDataExchange* pDX) {
  CSettingsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_ADULT_FILTER, m_adultFilter);
  DDX_Control(pDX, IDC_DEGREE_HIGH, m_degreeHigh);
  DDX_Control(pDX, IDC_DEGREE_MEDIUM, m_degreeMedium);
  DDX_Control(pDX, IDC_DEGREE_LOW, m_degreeLow);
  DDX_Control(pDX, IDC_POPUP_FILTER, m_popupFilter);
  DDX_Control(pDX, IDC_FLASH_FILTER, m_flashFilter);
  DDX_Control(pDX, IDC_VIDEO_FILTER, m_videoFilter);
}

BOOL CContentFilterDlg::OnInitDialog() {
  CSettingsPage::OnInitDialog();
  m_adultFilter.SetCheck(IsAdultFilterEnabled() ? BST_CHECKED : BST_UNCHECKED);
  const int degree = GetAdultFilterDegree();
  m_degreeHigh.SetCheck(degree == 1 ? BST_CHECKED : BST_UNCHECKED);
  m_degreeMedium.SetCheck(degree == 2 ? BST_CHECKED : BST_UNCHECKED);
  m_degreeLow.SetCheck(degree == 3 ? BST_CHECKED : BST_UNCHECKED);
  m_flashFilter.SetCheck(IsFlashFilterEnabled() ? BST_CHECKED : BST_UNCHECKED);
  m_popupFilter.SetCheck(IsPopupFilterEnabled() ? BST_CHECKED : BST_UNCHECKED);
  m_videoFilter.SetCheck(IsWebVideoFilterEnabled() ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

// The radios each start a group of their own, so the system does not clear
// the others; the page keeps exactly one selected.
void CContentFilterDlg::SelectDegree(int id) {
  OnSettingChanged();
  m_degreeHigh.SetCheck(id == IDC_DEGREE_HIGH ? BST_CHECKED : BST_UNCHECKED);
  m_degreeMedium.SetCheck(id == IDC_DEGREE_MEDIUM ? BST_CHECKED : BST_UNCHECKED);
  m_degreeLow.SetCheck(id == IDC_DEGREE_LOW ? BST_CHECKED : BST_UNCHECKED);
}

BOOL CContentFilterDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDC_ADULT_FILTER:
      case IDC_POPUP_FILTER:
      case IDC_FLASH_FILTER:
      case IDC_VIDEO_FILTER:
        OnSettingChanged();
        return TRUE;
      case IDC_DEGREE_HIGH:
      case IDC_DEGREE_MEDIUM:
      case IDC_DEGREE_LOW:
        SelectDegree(LOWORD(wParam));
        return TRUE;
      default:
        break;
    }
  }
  return CSettingsPage::OnCommand(wParam, lParam);
}

int CContentFilterDlg::GetFilterDegree() const {
  if (CheckOf(m_degreeHigh) == BST_CHECKED) return 1;
  if (CheckOf(m_degreeMedium) == BST_CHECKED) return 2;
  if (CheckOf(m_degreeLow) == BST_CHECKED) return 3;
  return 0;
}

void CContentFilterDlg::CollectSaveValues(SaveValues& v) const {
  v.adultFilter = CheckOf(m_adultFilter) == BST_CHECKED;
  v.adultDegree = GetFilterDegree();
  v.flashFilter = CheckOf(m_flashFilter) == BST_CHECKED;
  v.popupFilter = CheckOf(m_popupFilter) == BST_CHECKED;
  v.videoFilter = CheckOf(m_videoFilter) == BST_CHECKED;
}
