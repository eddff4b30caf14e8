#include "mainwnd/mossgravedlg.h"

#include <objbase.h>

#include <string>

#include "app/inputpassdlg.h"
#include "mainwnd/aboutdlg.h"
#include "mainwnd/messages.h"
#include "pages/programscan.h"
#include "provider/filterprovider.h"
#include "resource.h"
#include "settings/globals.h"
#include "settings/savetext.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"

HWND g_hMainWnd = nullptr;
HWND g_hProgramPageWnd = nullptr;

namespace {
constexpr COLORREF kFrameColour = RGB(70, 130, 180);
constexpr COLORREF kBackColour = RGB(250, 250, 250);
constexpr int kButtonStripHeight = 30;
constexpr UINT kTrayIconId = 128;

const char kSaveQuestion[] = "确定要保存参数吗?";
const char kExitQuestion[] = "配置已更改,是否保存?";
const char kUninstallQuestion[] = "确定要卸载本软件吗?";
const char kHelpFileName[] = "Telvaris.chm";
const char kSaveTooLong[] = "设置内容超出了设置文件的容量,没有保存任何设置。请减少选中的程序后再保存。";
const char kSaveNotWritten[] = "无法写入设置文件,没有保存任何设置。请稍后再保存。";
const char kSavePartlyWritten[] = "只有一个设置文件写入成功,设置只保存了一部分,下次启动可能仍是旧的设置。请再保存一次。";

const char* const kNavItems[] = {"密码设置", "内容过滤设置", "时间限制设置", "程序过滤设置", "聊天限制设置"};
}  // namespace

namespace {
// Marks a flow or a nested dialog as open for its scope.
class FlowScope {
 public:
  explicit FlowScope(bool& flag) : m_flag(flag) { m_flag = true; }
  ~FlowScope() { m_flag = false; }
  FlowScope(const FlowScope&) = delete;
  FlowScope& operator=(const FlowScope&) = delete;

 private:
  bool& m_flag;
};
}  // namespace

CMossgraveDlg::CMossgraveDlg(CWnd* parent) : CDialog(IDD_MOSSGRAVE_DIALOG, parent) {
  m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                        : ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  m_taskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");
}

CMossgraveDlg::~CMossgraveDlg() {
  // A window destroyed without its close (a test, say) must not leave the icon behind.
  if (m_nid.hWnd && !m_bClosed) ::Shell_NotifyIconA(NIM_DELETE, &m_nid);
}

void CMossgraveDlg::PostNcDestroy() {
  // The published handles must not outlive their windows.
  g_hMainWnd = nullptr;
  g_hProgramPageWnd = nullptr;
}

void CMossgraveDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_UNINSTALL, m_uninstallButton);
  DDX_Control(pDX, IDC_EXIT, m_exitButton);
  DDX_Control(pDX, IDC_SAVE, m_saveButton);
  DDX_Control(pDX, IDC_NAVLIST, m_navList);
}

BOOL CMossgraveDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The program runs elevated; the shell's announcement of its restart comes
  // from a process with fewer rights and would be filtered out.
  if (m_taskbarCreatedMsg) AllowMessageFromShell(m_taskbarCreatedMsg);
  AddTrayIcon();
  ::CoInitialize(nullptr);

  m_navImages.Create(32, 32, ILC_COLOR32 | ILC_MASK, 2, 2);
  HICON arrow = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ARROW_RIGHT));
  m_navImages.Add(arrow);
  // The list only shares it (LVS_SHAREIMAGELISTS): m_navImages destroys it.
  m_navList.SetImageList(m_navImages, LVSIL_SMALL);

  RECT client;
  GetClientRect(&client);
  const int w = client.right, h = client.bottom;
  m_navList.MoveWindow(0, 0, w / 3, h - kButtonStripHeight);
  Invalidate();
  m_navList.InsertColumn(0, "设置", LVCFMT_LEFT, 120);
  for (int i = 0; i < 5; ++i) m_navList.InsertItem(i, kNavItems[i], 0);

  const RECT page = {w / 3, 0, w, h - kButtonStripHeight};
  m_passwordPage.Create(IDD_PASSWORD_SETUP, this);
  m_passwordPage.MoveWindow(page);
  m_passwordPage.ShowWindow(SW_SHOW);

  m_saveButton.AttachThemeHelper(&m_themeHelper);
  m_saveButton.SetWindowText("保存");
  m_saveButton.MoveWindow(w - 200, h - 25, 80, 25);
  m_exitButton.AttachThemeHelper(&m_themeHelper);
  m_exitButton.SetWindowText("退出");
  m_exitButton.MoveWindow(w - 100, h - 25, 80, 25);
  m_uninstallButton.AttachThemeHelper(&m_themeHelper);
  m_uninstallButton.MoveWindow(100, h - 25, 80, 25);
  m_uninstallButton.ShowWindow(SW_HIDE);

  struct {
    CDialog* dlg;
    UINT id;
  } const hidden[] = {{&m_timePage, IDD_TIME_LIMIT},
                      {&m_programPage, IDD_PROGRAM_SELECTED},
                      {&m_contentPage, IDD_CONTENT_FILTER},
                      {&m_logPage, IDD_LOG},
                      {&m_talkPage, IDD_TALK_LIMIT}};
  for (const auto& p : hidden) {
    p.dlg->Create(p.id, this);
    p.dlg->MoveWindow(page);
    p.dlg->ShowWindow(SW_HIDE);
    if (p.dlg == &m_programPage) g_hProgramPageWnd = m_programPage.m_hWnd;
  }

  StartProgramScan();
  g_hMainWnd = m_hWnd;

  if (!m_toolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS,
                          RECT{0, 0, 0, 0}, AFX_IDW_TOOLBAR) ||
      !m_toolBar.LoadToolBar(IDR_TOOLBAR)) {
    ::OutputDebugStringA("failed to create toolbar\n");
    return FALSE;
  }
  m_toolBar.ShowWindow(SW_SHOW);
  RepositionBars(AFX_IDW_TOOLBAR, AFX_IDW_TOOLBAR + 0xFF);
  PlaceBelowToolbar();

  char about[256] = {};
  ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about);
  if (about[0]) {
    HMENU sys = ::GetSystemMenu(m_hWnd, FALSE);
    if (sys) {
      ::AppendMenuA(sys, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuA(sys, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;
}

void CMossgraveDlg::PlaceBelowToolbar() {
  // The toolbar takes the top of the client area; the list and the pages
  // start under it, or it would hide the first navigation item.
  RECT bar;
  m_toolBar.GetWindowRect(&bar);
  const int top = bar.bottom - bar.top;
  RECT client;
  GetClientRect(&client);
  const int w = client.right, h = client.bottom;
  m_navList.MoveWindow(0, top, w / 3, h - kButtonStripHeight - top);
  const RECT page = {w / 3, top, w, h - kButtonStripHeight};
  for (CWnd* p : {static_cast<CWnd*>(&m_passwordPage), static_cast<CWnd*>(&m_programPage),
                  static_cast<CWnd*>(&m_contentPage), static_cast<CWnd*>(&m_logPage),
                  static_cast<CWnd*>(&m_talkPage), static_cast<CWnd*>(&m_timePage)})
    p->MoveWindow(page);
}

void CMossgraveDlg::StartProgramScan() { ::StartProgramScan(m_programPage.m_hWnd); }

void CMossgraveDlg::AddTrayIcon() {
  m_nid = {};
  m_nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  m_nid.hWnd = m_hWnd;
  m_nid.uID = kTrayIconId;
  m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_nid.uCallbackMessage = WM_TRAYNOTIFY;
  lstrcpynA(m_nid.szTip, kAppCaption, 64);
  HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  m_nid.hIcon = icon;
  NotifyIcon(NIM_ADD, &m_nid);
  ::DestroyIcon(icon);
  m_nid.hIcon = nullptr;
}

BOOL CMossgraveDlg::NotifyIcon(DWORD message, NOTIFYICONDATAA* data) { return ::Shell_NotifyIconA(message, data); }

bool CMossgraveDlg::AllowMessageFromShell(UINT message) {
  // Looked up at run time: systems before Vista have no such filter and no such function.
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  auto allow = user32 ? reinterpret_cast<FilterFn>(reinterpret_cast<void*>(
                            ::GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                      : nullptr;
  constexpr DWORD kMsgFltAllow = 1;
  return allow && allow(m_hWnd, message, kMsgFltAllow, nullptr);
}

namespace {
// Whether a message queued for a window inside the settings window works
// that window's controls. Painting and timers go on while it is hidden.
bool WorksControls(const MSG& msg) {
  switch (msg.message) {
    case WM_NULL:
    case WM_PAINT:
    case WM_TIMER:
    case 0x0118:  // the system's caret and scrolling timer
      return false;
    default:
      break;
  }
  if (msg.message < WM_USER) return true;
  // Control messages of the common controls (list view, date picker, ...);
  // the pages' private messages lie below them.
  char cls[16] = {};
  ::GetClassNameA(msg.hwnd, cls, sizeof cls);
  return msg.message >= 0x1000 && msg.message < 0x2000 && lstrcmpA(cls, "#32770") != 0;
}
}  // namespace

BOOL CMossgraveDlg::PreTranslateMessage(MSG* pMsg) {
  // Neither key may end the settings window.
  if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) return TRUE;
  // While locked nothing works the pages, whoever posts the clicks.
  if (m_bLocked && pMsg->hwnd != m_hWnd && ::IsChild(m_hWnd, pMsg->hwnd) && WorksControls(*pMsg)) return TRUE;
  return CDialog::PreTranslateMessage(pMsg);
}

void CMossgraveDlg::SetLocked(bool locked) {
  if (m_bLocked == locked) return;
  m_bLocked = locked;
  for (CWnd* p : {static_cast<CWnd*>(&m_passwordPage), static_cast<CWnd*>(&m_programPage),
                  static_cast<CWnd*>(&m_contentPage), static_cast<CWnd*>(&m_logPage),
                  static_cast<CWnd*>(&m_talkPage), static_cast<CWnd*>(&m_timePage)})
    if (p->m_hWnd) p->EnableWindow(!locked);
}

void CMossgraveDlg::DrawFrame() {
  RECT r;
  GetWindowRect(&r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  CWindowDC dc(m_hWnd);
  CPen pen(PS_SOLID, 1, kFrameColour);
  CSelectObject sel(dc, pen);
  ::MoveToEx(dc, 0, 0, nullptr);
  ::LineTo(dc, 0, h);
  ::MoveToEx(dc, 0, 0, nullptr);
  ::LineTo(dc, w, 0);
  ::MoveToEx(dc, w - 2, 0, nullptr);
  ::LineTo(dc, w - 2, h);
  ::MoveToEx(dc, 0, h - 2, nullptr);
  ::LineTo(dc, w - 2, h - 2);
}

LRESULT CMossgraveDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) {
        // Closing only hides: the program stays in the notification area.
        ShowMainWindow(SW_HIDE);
        return 0;
      }
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
        return 0;
      }
      switch (wParam & 0xFFF0) {
        case SC_RESTORE:
        case SC_MAXIMIZE:
        case SC_MINIMIZE:
          // Each of them would show a hidden window.
          if (m_bLocked || m_bClosed) return 0;
          break;
        default:
          break;
      }
      return Default();
    case WM_WINDOWPOSCHANGING: {
      // Every way of showing a window meets here: a locked one stays hidden.
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if ((m_bLocked || m_bClosed) && pos) pos->flags &= ~SWP_SHOWWINDOW;
      return Default();
    }
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos && (pos->flags & SWP_HIDEWINDOW)) SetLocked(true);
      return Default();
    }
    case WM_TRAYNOTIFY:
      OnTrayNotify(static_cast<UINT>(lParam));
      return 0;
    case WM_SHOWPAGE:
      return OnShowPage(lParam);
    case WM_NCPAINT: {
      LRESULT r = Default();
      DrawFrame();
      return r;
    }
    case WM_PAINT: {
      DrawFrame();
      CPaintDC dc(m_hWnd);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(&r);
      CBrush back(kBackColour);
      ::FillRect(reinterpret_cast<HDC>(wParam), &r, back);
      return TRUE;
    }
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_CLOSE:
      OnClose();
      return 0;
    default:
      if (message == m_taskbarCreatedMsg && m_taskbarCreatedMsg != 0) {
        // The shell restarted and forgot the icon; without it a hidden window could never come back.
        if (!m_bClosed) AddTrayIcon();
        return 0;
      }
      return CDialog::WindowProc(message, wParam, lParam);
  }
}

BOOL CMossgraveDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  // The settings window has neither an OK nor a Cancel: it ends only by its
  // close, which runs the close handler.
  if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) return TRUE;
  if (HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDC_SAVE:
        if (!m_bLocked) OnSave();  // settings change only behind the password
        return TRUE;
      case IDC_EXIT:
      case ID_TRAY_EXIT:
      case ID_FILE_EXIT:
        OnExit();
        return TRUE;
      case IDC_UNINSTALL:
      case ID_UNINSTALL:
        OnUninstall();
        return TRUE;
      case ID_TRAY_SHOW:
        OnShowMainWindow();
        return TRUE;
      case ID_APP_ABOUT_MENU:
        OnAbout();
        return TRUE;
      case ID_HELP_TOPICS:
        OnHelpTopics();
        return TRUE;
      default:
        break;
    }
  }
  return CDialog::OnCommand(wParam, lParam);
}

CWnd* CMossgraveDlg::PageOfIndex(LPARAM index) {
  switch (index) {
    case 0:
      return &m_passwordPage;
    case 1:
      return &m_contentPage;
    case 2:
      return &m_timePage;
    case 3:
      return &m_programPage;
    case 4:
      return &m_talkPage;
    default:
      return nullptr;
  }
}

LRESULT CMossgraveDlg::OnShowPage(LPARAM index) {
  CWnd* shown = PageOfIndex(index);
  if (!shown) return 0;
  shown->ShowWindow(SW_SHOWNORMAL);
  for (LPARAM i = 0; i < 5; ++i)
    if (CWnd* other = PageOfIndex(i); other != shown) other->ShowWindow(SW_HIDE);
  return 0;
}

void CMossgraveDlg::ShowMainWindow(int cmd) {
  CWinApp* app = AfxGetApp();
  HWND main = (app && app->m_pMainWnd) ? app->m_pMainWnd->m_hWnd : m_hWnd;
  ::ShowWindow(main, cmd);
}

bool CMossgraveDlg::AskPassword() {
  if (m_bPromptOpen || m_bClosed) return false;
  bool accepted = false;
  {
    FlowScope prompt(m_bPromptOpen);
    accepted = CheckPassword();
  }
  return accepted && !m_bClosed && !m_bCloseWaiting;
}

void CMossgraveDlg::ShowAfterPassword() {
  SetLocked(false);
  ShowMainWindow(SW_SHOW);
}

bool CMossgraveDlg::CheckPassword() {
  CInputPassDlg prompt;
  prompt.DoModal();
  return prompt.m_bAccepted;
}

void CMossgraveDlg::ShellOpen(const char* file, const char* parameters) {
  ::ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOW);
}

void CMossgraveDlg::OnTrayNotify(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_RBUTTONDOWN: {
      HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
      HMENU popup = menu ? ::GetSubMenu(menu, 0) : nullptr;
      if (!popup) break;
      POINT pt;
      ::GetCursorPos(&pt);
      CWinApp* app = AfxGetApp();
      HWND owner = (app && app->m_pMainWnd) ? app->m_pMainWnd->m_hWnd : m_hWnd;
      // Without the owner in front, and a message after it, the menu would
      // not close when the user clicks elsewhere.
      ::SetForegroundWindow(owner);
      ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
      ::PostMessageA(owner, WM_NULL, 0, 0);
      ::DestroyMenu(menu);
      break;
    }
    case WM_LBUTTONDBLCLK: {
      if (g_bPromptOpen || m_bClosed) break;
      const bool visible = IsWindowVisible(), minimised = IsIconic();
      if (visible && minimised) {
        ShowMainWindow(SW_SHOWNORMAL);
      } else if (!visible) {
        if (AskPassword()) ShowAfterPassword();
        RunWaitingClose();
      }
      break;
    }
    default:
      break;
  }
}

void CMossgraveDlg::OnShowMainWindow() {
  if (m_bClosed || IsWindowVisible()) return;
  if (AskPassword()) ShowAfterPassword();
  RunWaitingClose();
}

void CMossgraveDlg::OnAbout() {
  if (m_bAboutOpen || m_bClosed) return;
  {
    FlowScope open(m_bAboutOpen);
    CAboutDlg about;
    about.DoModal();
  }
  RunWaitingClose();
}

void CMossgraveDlg::RunWaitingClose() {
  if (m_bCloseWaiting && !NestedOpen()) SendMessage(WM_CLOSE);
}

void CMossgraveDlg::OnHelpTopics() {
  char path[MAX_PATH] = {};
  GetProgramDirectory(path);
  std::string help = std::string(path) + kHelpFileName;
  ShellOpen(help.c_str(), "");
}

CMossgraveDlg::SaveResult CMossgraveDlg::SaveAllSettings() {
  SaveValues values;
  char password[kValueSize] = {};
  GetPasswordForSave(password);
  values.password = password;
  m_logPage.CollectSaveValues(values);
  m_contentPage.CollectSaveValues(values);
  m_programPage.CollectSaveValues(values);
  m_talkPage.CollectSaveValues(values);
  m_timePage.CollectSaveValues(values);
  char date[kTimeTextSize] = {};
  GetLocalTimeText(date);
  values.installDate = date;

  const std::string text = BuildSettingsText(values);
  std::string sealed;
  if (!SealSettingsText(text.c_str(), &sealed)) return SaveResult::kTooLong;
  char path[kPathSize] = {};
  const bool mainWritten = GetMainSettingsPath(path) && WriteSettingsFile(path, text.c_str());
  char backup[kPathSize] = {};
  const bool backupWritten = GetBackupSettingsPath(backup) && WriteSettingsFile(backup, text.c_str());
  if (mainWritten && backupWritten) return SaveResult::kSaved;
  return mainWritten || backupWritten ? SaveResult::kPartlyWritten : SaveResult::kNothingWritten;
}

bool CMossgraveDlg::FinishSave() {
  // A save the parent is not told of would pass for a saved one: every
  // refused write is reported and the change stays marked.
  const char* report = nullptr;
  switch (SaveAllSettings()) {
    case SaveResult::kSaved:
      g_bSettingsChanged = false;
      return true;
    case SaveResult::kTooLong:
      report = kSaveTooLong;
      break;
    case SaveResult::kNothingWritten:
      report = kSaveNotWritten;
      break;
    case SaveResult::kPartlyWritten:
      report = kSavePartlyWritten;
      break;
  }
  g_bSettingsChanged = true;
  AppMessageBox(report, MB_OK);
  return false;
}

void CMossgraveDlg::OnSave() {
  if (m_bInFlow || m_bClosed) return;
  {
    FlowScope flow(m_bInFlow);
    if (AppMessageBox(kSaveQuestion, MB_OKCANCEL) == IDOK) FinishSave();
  }
  RunWaitingClose();
}

void CMossgraveDlg::OnExit() {
  if (m_bInFlow || m_bClosed) return;
  bool saveFailed = false;
  {
    FlowScope flow(m_bInFlow);
    if (g_bSettingsChanged && AppMessageBox(kExitQuestion, MB_OKCANCEL) == IDOK &&
        AppMessageBox(kSaveQuestion, MB_OKCANCEL) == IDOK)
      saveFailed = !FinishSave();
  }
  // A failed save keeps the program open, so the changes can be saved again.
  if (saveFailed) {
    RunWaitingClose();
    return;
  }
  SendMessage(WM_CLOSE);
}

void CMossgraveDlg::OnUninstall() {
  if (m_bInFlow || m_bClosed) return;
  bool confirmed = false;
  {
    FlowScope flow(m_bInFlow);
    // Removing the filter is the parent's decision: the same check as showing the window.
    confirmed = AskPassword() && AppMessageBox(kUninstallQuestion, MB_OKCANCEL) == IDOK;
    if (confirmed) {
      DeleteSettingsFiles();
      RemoveFilterProvider();
      char uninstaller[kPathSize] = {};
      GetUninstallerPath(uninstaller);
      ShellOpen(uninstaller, "/silent");
    }
  }
  if (confirmed) SendMessage(WM_CLOSE);
  RunWaitingClose();
}

void CMossgraveDlg::OnClose() {
  if (m_bClosed) return;
  if (NestedOpen()) {
    // A nested dialog is open; the close comes once it is over.
    m_bCloseWaiting = true;
    return;
  }
  m_bClosed = true;
  m_bCloseWaiting = false;
  // The scan writes the installed-program table: it must be over before the table goes.
  StopProgramScan();
  g_installedPrograms.RemoveAll();
  g_chosenPrograms.RemoveAll();
  NotifyIcon(NIM_DELETE, &m_nid);
  EndDialog(IDCANCEL);
}
