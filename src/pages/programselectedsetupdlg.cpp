#include "pages/programselectedsetupdlg.h"

#include <shellapi.h>

#include <cstring>

#include "resource.h"
#include "settings/globals.h"
#include "settings/listedprograms.h"
#include "settings/settings.h"

CProgramSelectedSetupDlg::CProgramSelectedSetupDlg() : CSettingsPage(IDD_PROGRAM_SELECTED, false) {}

CProgramSelectedSetupDlg::~CProgramSelectedSetupDlg() {
  // The list uses the image list: the window goes first.
  if (m_hWnd) DestroyWindow();
}

void CProgramSelectedSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CSettingsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRAM_LIST, m_programList);
  DDX_Control(pDX, IDC_PROGRAM_FILTER, m_programFilter);
  DDX_Control(pDX, IDC_PROGRAM_ALLOW, m_allowRadio);
  DDX_Control(pDX, IDC_PROGRAM_DENY, m_denyRadio);
}

BOOL CProgramSelectedSetupDlg::OnInitDialog() {
  CSettingsPage::OnInitDialog();
  const bool filterOn = IsProgramFilterEnabled();
  m_programFilter.SetCheck(filterOn ? BST_CHECKED : BST_UNCHECKED);
  m_programList.EnableWindow(filterOn);
  const bool allowList = IsProgramAllowList();
  m_allowRadio.SetCheck(allowList ? BST_CHECKED : BST_UNCHECKED);
  m_denyRadio.SetCheck(allowList ? BST_UNCHECKED : BST_CHECKED);

  // The page owns the image list; the list must not destroy it as well.
  m_programList.ModifyStyle(0, LVS_SHAREIMAGELISTS);
  m_programList.SetExtendedStyle(m_programList.GetExtendedStyle() | LVS_EX_CHECKBOXES);
  m_programList.InsertColumn(0, "本机安装程序", LVCFMT_LEFT, 300);

  LayOutControls();
  m_programFilter.ShowWindow(SW_SHOW);
  Invalidate();

  g_chosenPrograms.InitBuckets(1024);
  LoadListedProgramNames();
  return TRUE;
}

void CProgramSelectedSetupDlg::LayOutControls() {
  RECT client;
  GetClientRect(&client);
  RECT list = {client.left + 20, client.top + 20, client.right - 40, client.bottom - 60};
  m_programList.MoveWindow(list);
  m_programFilter.MoveWindow(80, list.bottom, 300, 25);
  // The radios keep their across positions and sizes but follow the switch
  // down: the page's final height depends on the fonts of the system.
  for (CButton* radio : {&m_denyRadio, &m_allowRadio}) {
    RECT r;
    radio->GetWindowRect(&r);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    radio->MoveWindow(r.left, list.bottom + 27, r.right - r.left, r.bottom - r.top);
  }
}

LRESULT CProgramSelectedSetupDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SCANDONE) return OnScanDone();
  if (message == WM_SIZE && m_programList.m_hWnd) {
    // Laid out again once the main window has put the page in its place.
    LRESULT r = CSettingsPage::WindowProc(message, wParam, lParam);
    LayOutControls();
    Invalidate();
    return r;
  }
  return CSettingsPage::WindowProc(message, wParam, lParam);
}

void CProgramSelectedSetupDlg::SelectFilterType(int id) {
  m_allowRadio.SetCheck(id == IDC_PROGRAM_ALLOW ? BST_CHECKED : BST_UNCHECKED);
  m_denyRadio.SetCheck(id == IDC_PROGRAM_DENY ? BST_CHECKED : BST_UNCHECKED);
}

BOOL CProgramSelectedSetupDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDC_PROGRAM_FILTER:
        m_programList.EnableWindow(m_programFilter.GetCheck() == BST_CHECKED);
        return TRUE;
      case IDC_PROGRAM_ALLOW:
      case IDC_PROGRAM_DENY:
        SelectFilterType(LOWORD(wParam));
        return TRUE;
      default:
        break;
    }
  }
  return CSettingsPage::OnCommand(wParam, lParam);
}

// One image per entry, in the table's order, so item i shows image i.
void CProgramSelectedSetupDlg::LoadProgramIcons() {
  HICON generic = static_cast<HICON>(
      ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, 16, 16, LR_SHARED));
  int expected = 0;
  const char* name = nullptr;
  void* value = nullptr;
  for (CNameTable::Position pos = g_installedPrograms.GetFirst(); pos;) {
    pos = g_installedPrograms.GetNext(pos, &name, &value);
    const char* path = value ? static_cast<const char*>(value) : "";
    const size_t len = strlen(path);
    HICON small = nullptr;
    if (len == 0 || path[len - 1] != '\\') ::ExtractIconExA(path, 0, nullptr, &small, 1);
    // A folder entry, or a file without an icon, shows the generic program icon.
    if (small) {
      m_imageList.Add(small);
      ::DestroyIcon(small);
    }
    ++expected;
    while (m_imageList.GetImageCount() < expected && generic && m_imageList.Add(generic) >= 0) {}
  }
}

LRESULT CProgramSelectedSetupDlg::OnScanDone() {
  const int n = g_installedPrograms.GetCount();
  m_programList.DeleteAllItems();
  m_programList.SetImageList(nullptr, LVSIL_SMALL);
  m_imageList.DeleteImageList();
  m_imageList.Create(16, 16, ILC_COLOR16 | ILC_MASK, n, n);
  LoadProgramIcons();
  m_programList.SetImageList(m_imageList, LVSIL_SMALL);

  int i = 0;
  const char* name = nullptr;
  void* value = nullptr;
  for (CNameTable::Position pos = g_installedPrograms.GetFirst(); pos; ++i) {
    pos = g_installedPrograms.GetNext(pos, &name, &value);
    const int item = m_programList.InsertItem(i, name, i);
    if (item >= 0 && g_chosenPrograms.Lookup(name)) m_programList.SetCheck(item, TRUE);
  }
  m_bScanDone = true;
  return 0;
}

void CProgramSelectedSetupDlg::CollectSaveValues(SaveValues& v) const {
  v.programFilter = CheckOf(m_programFilter) == BST_CHECKED;
  v.programAllowList = !(CheckOf(m_denyRadio) == BST_CHECKED);
  if (!m_bScanDone) {
    v.programs = LoadListedPrograms();
    return;
  }
  std::vector<std::string> checked;
  const int count = m_programList.GetItemCount();
  for (int i = 0; i < count; ++i) {
    if (!m_programList.GetCheck(i)) continue;
    char text[kValueSize] = {};
    m_programList.GetItemText(i, 0, text, sizeof text);
    checked.push_back(text);
  }
  v.programs = ResolveCheckedPrograms(checked, g_installedPrograms);
}
