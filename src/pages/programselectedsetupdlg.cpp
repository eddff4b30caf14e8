#include "pages/programselectedsetupdlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "resource.h"
#include "settings/globals.h"
#include "settings/listedprograms.h"
#include "settings/settings.h"

CProgramSelectedSetupDlg::CProgramSelectedSetupDlg() : CSettingsPage(IDD_PROGRAM_SELECTED, false) {}

CProgramSelectedSetupDlg::~CProgramSelectedSetupDlg() {
  // The list uses the image list: the window goes first.
  if (m_hWnd) DestroyWindow();
  ReleaseFileIcons();
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
  if (message == WM_TIMER && wParam == kFillTimer) {
    ::KillTimer(m_hWnd, kFillTimer);
    FillSomeRows();
    return 0;
  }
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

// One image per entry, in the table's order, so item i shows image i. The
// images stay blank until their rows are drawn (LoadIconOfItem).
void CProgramSelectedSetupDlg::PrepareProgramIcons(int count) {
  if (!m_genericIcon)
    m_genericIcon = static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, 16, 16, LR_SHARED));
  m_iconFiles.clear();
  m_iconFiles.reserve(static_cast<size_t>(count));
  const char* name = nullptr;
  void* value = nullptr;
  for (CNameTable::Position pos = g_installedPrograms.GetFirst(); pos;) {
    pos = g_installedPrograms.GetNext(pos, &name, &value);
    const char* path = value ? static_cast<const char*>(value) : "";
    const size_t len = strlen(path);
    // A folder entry shows the generic program icon.
    m_iconFiles.emplace_back(len == 0 || path[len - 1] == '\\' ? "" : path);
  }
  m_iconLoaded.assign(m_iconFiles.size(), false);
  ImageList_SetImageCount(m_imageList, static_cast<UINT>(m_iconFiles.size()));
}

// The first small icon of a file, extracted once for all entries that lead
// to it.
HICON CProgramSelectedSetupDlg::FileIcon(const std::string& path) {
  std::string key = path;
  if (!key.empty()) ::CharLowerBuffA(&key[0], static_cast<DWORD>(key.size()));
  auto found = m_fileIcons.find(key);
  if (found != m_fileIcons.end()) return found->second;
  HICON small = nullptr;
  if (::ExtractIconExA(path.c_str(), 0, nullptr, &small, 1) == 0 || !small) small = nullptr;
  m_fileIcons.emplace(key, small);
  return small;
}

void CProgramSelectedSetupDlg::LoadIconOfItem(int item) {
  LVITEMA it = {};
  it.mask = LVIF_IMAGE;
  it.iItem = item;
  if (!m_programList.SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return;
  if (it.iImage < 0 || static_cast<size_t>(it.iImage) >= m_iconLoaded.size() || m_iconLoaded[it.iImage]) return;
  const std::string& file = m_iconFiles[it.iImage];
  HICON icon = file.empty() ? nullptr : FileIcon(file);
  // A file without an icon shows the generic one as well.
  if (!icon) icon = m_genericIcon;
  if (icon) ImageList_ReplaceIcon(m_imageList, it.iImage, icon);
  m_iconLoaded[it.iImage] = true;
}

void CProgramSelectedSetupDlg::ReleaseFileIcons() {
  for (auto& entry : m_fileIcons)
    if (entry.second) ::DestroyIcon(entry.second);
  m_fileIcons.clear();
}

BOOL CProgramSelectedSetupDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
  if (nm && nm->hwndFrom == m_programList.m_hWnd && nm->code == NM_CUSTOMDRAW) {
    const NMLVCUSTOMDRAW* cd = reinterpret_cast<const NMLVCUSTOMDRAW*>(lParam);
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
      *pResult = CDRF_NOTIFYITEMDRAW;
      return TRUE;
    }
    if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
      LoadIconOfItem(static_cast<int>(cd->nmcd.dwItemSpec));
      *pResult = CDRF_DODEFAULT;
      return TRUE;
    }
  }
  return CSettingsPage::OnNotify(wParam, lParam, pResult);
}

LRESULT CProgramSelectedSetupDlg::OnScanDone() {
  const int n = g_installedPrograms.GetCount();
  m_programList.SendMessage(WM_SETREDRAW, FALSE);
  m_programList.DeleteAllItems();
  m_programList.SetImageList(nullptr, LVSIL_SMALL);
  m_imageList.DeleteImageList();
  ReleaseFileIcons();
  m_imageList.Create(16, 16, ILC_COLOR16 | ILC_MASK, n, n);
  PrepareProgramIcons(n);
  m_programList.SetImageList(m_imageList, LVSIL_SMALL);
  m_programList.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(n));

  // The names and their first ticks are taken now: the rows go in over
  // several turns of the message loop and must not depend on the table
  // staying as it is meanwhile.
  m_pending.clear();
  m_pending.reserve(static_cast<size_t>(n));
  const char* name = nullptr;
  void* value = nullptr;
  for (CNameTable::Position pos = g_installedPrograms.GetFirst(); pos;) {
    pos = g_installedPrograms.GetNext(pos, &name, &value);
    m_pending.push_back({name, g_chosenPrograms.Lookup(name)});
  }
  m_filled = 0;
  m_bFilling = true;
  m_bFirstShareShown = false;
  m_bScanDone = true;
  FillSomeRows();
  return 0;
}

// One share of the rows, then back to the message loop: thousands of inserts
// in one go left the window without an answer for many seconds.
void CProgramSelectedSetupDlg::FillSomeRows() {
  if (!m_bFilling) return;
  // Drawing stays off while the rows go in: with it on, every insert redraws
  // the list and its scroll bar, which costs far more than the insert. The
  // first share is drawn at once; the list is drawn again when all are in,
  // since a redraw after every share would cost more than the share.
  m_programList.SendMessage(WM_SETREDRAW, FALSE);
  LARGE_INTEGER freq, start, now;
  ::QueryPerformanceFrequency(&freq);
  ::QueryPerformanceCounter(&start);
  const LONGLONG budget = freq.QuadPart * (m_filled == 0 ? kFirstShareMs : kFillShareMs) / 1000;
  for (; m_filled < m_pending.size(); ++m_filled) {
    if ((m_filled & 31) == 0 && ::QueryPerformanceCounter(&now) && now.QuadPart - start.QuadPart > budget) break;
    const int i = static_cast<int>(m_filled);
    const int item = m_programList.InsertItem(i, m_pending[m_filled].name.c_str(), i);
    if (item >= 0 && m_pending[m_filled].chosen) m_programList.SetCheck(item, TRUE);
  }
  const bool done = m_filled >= m_pending.size();
  if (done || !m_bFirstShareShown) {
    m_bFirstShareShown = true;
    m_programList.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_programList, nullptr, TRUE);
    m_programList.UpdateWindow();
  }
  if (!done) {
    // The next share comes by timer, after any input and painting waiting:
    // a posted message would go before the user's clicks.
    ::SetTimer(m_hWnd, kFillTimer, USER_TIMER_MINIMUM, nullptr);
    return;
  }
  ::KillTimer(m_hWnd, kFillTimer);
  m_bFilling = false;
  m_pending.clear();
  m_pending.shrink_to_fit();
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
  // Rows not in the list yet keep the ticks they are going to get.
  if (m_bFilling)
    for (size_t i = m_filled; i < m_pending.size(); ++i)
      if (m_pending[i].chosen) checked.push_back(m_pending[i].name);
  v.programs = ResolveCheckedPrograms(checked, g_installedPrograms);
}
