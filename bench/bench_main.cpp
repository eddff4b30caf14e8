// Benchmarks: the Start-menu scan against a bare loop of shortcut resolving,
// one settings accessor against a bare read of the same file, the settings
// window's set-up with that file, and the program page's list filled with
// thousands of programs against bare list-view inserts.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <commctrl.h>

#include <algorithm>
#include <atomic>

#include "benchtime.h"
#include "mainwnd/mossgravedlg.h"
#include "pages/programselectedsetupdlg.h"
#include "resource.h"
#include "pages/programscan.h"
#include "settings/globals.h"
#include "settings/nametable.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "settings/settingstext.h"

namespace {

bool MakeShortcut(const std::string& path, const std::string& target) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  bool ok = SUCCEEDED(link->SetPath(target.c_str()));
  IPersistFile* file = nullptr;
  if (ok && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    ok = SUCCEEDED(file->Save(wide, TRUE));
    file->Release();
  }
  link->Release();
  return ok;
}

// The plain work of resolving one shortcut, nothing around it.
bool BareResolve(IShellLinkA* link, IPersistFile* file, const std::string& path, char* target) {
  WCHAR wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  return SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH));
}

void RemoveTree(const std::string& dir) {
  std::string from = dir;
  from.push_back('\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

void BenchScan() {
  constexpr int kFolders = 200, kPerFolder = 10;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string root = std::string(temp) + "mossgrave_bench_scan";
  RemoveTree(root);
  const std::string programs = root + "\\Documents and Settings\\All Users\\Start Menu\\Programs";
  for (const std::string& d : {root, root + "\\Documents and Settings", root + "\\Documents and Settings\\All Users",
                               root + "\\Documents and Settings\\All Users\\Start Menu", programs})
    CreateDirectoryA(d.c_str(), nullptr);
  // Two shortcuts written through the shell object, copied into every folder:
  // writing 2,000 through it would take minutes under Wine.
  const std::string helpLink = root + "\\help.lnk", appLink = root + "\\app.lnk";
  if (!MakeShortcut(helpLink, "C:\\Program Files\\Vendor\\help.chm") ||
      !MakeShortcut(appLink, "C:\\Program Files\\Vendor\\app.exe")) {
    printf("could not write the shortcuts\n");
    return;
  }
  std::vector<std::string> shortcuts;
  const double made0 = Now();
  for (int f = 0; f < kFolders; ++f) {
    char folder[64];
    snprintf(folder, sizeof folder, "\\Program %03d", f);
    const std::string dir = programs + folder;
    CreateDirectoryA(dir.c_str(), nullptr);
    // Help and readme shortcuts around the one program, as installers leave them.
    for (int i = 0; i < kPerFolder; ++i) {
      char name[64];
      snprintf(name, sizeof name, "\\Item %02d.lnk", i);
      shortcuts.push_back(dir + name);
      CopyFileA((i == kPerFolder - 1 ? appLink : helpLink).c_str(), shortcuts.back().c_str(), FALSE);
    }
  }
  printf("Start menu: %d shortcuts in %d folders, written in %.2f s\n", kFolders * kPerFolder, kFolders,
         Now() - made0);

  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(&link));
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));

  // Alternating rounds, medians: neither side profits from a cache the other warmed.
  CNameTable table;
  int resolved = 0;
  std::vector<double> scans, bares;
  for (int round = 0; round < 8; ++round) {
    table.RemoveAll();
    ScanContext ctx;
    ctx.table = &table;
    ctx.systemDirectory = "C:\\windows\\system32";
    const double scan0 = Now();
    ScanStartMenu(ctx, "bench", root.c_str());
    const double scanTime = Now() - scan0;

    resolved = 0;
    const double bare0 = Now();
    for (const std::string& s : shortcuts) {
      char target[MAX_PATH] = {};
      resolved += BareResolve(link, file, s, target) ? 1 : 0;
    }
    const double bareTime = Now() - bare0;
    if (getenv("MOSSGRAVE_BENCH_VERBOSE")) printf("  round %d: scan %.1f ms, bare %.1f ms\n", round, scanTime * 1e3, bareTime * 1e3);
    if (round == 0) continue;  // warm-up
    scans.push_back(scanTime);
    bares.push_back(bareTime);
  }
  std::sort(scans.begin(), scans.end());
  std::sort(bares.begin(), bares.end());
  const double scan = scans[scans.size() / 2], bare = bares[bares.size() / 2];
  file->Release();
  link->Release();

  printf("scan:      %8.1f ms, %d entries (stops in a folder at its program)\n", scan * 1e3, table.GetCount());
  printf("bare loop: %8.1f ms, %d of %zu shortcuts resolved with one shell link object\n", bare * 1e3, resolved,
         shortcuts.size());
  printf("ratio scan / bare loop: %.2f\n", bare > 0 ? scan / bare : 0.0);
  RemoveTree(root);
}

std::string ReadAll(const char* path) {
  std::string bytes;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(kSettingsCapacity);
  DWORD got = 0;
  ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(h);
  bytes.resize(got);
  return bytes;
}

void BenchAccessor() {
  char mainPath[kPathSize] = {}, backupPath[kPathSize] = {};
  if (!GetMainSettingsPath(mainPath) || !GetBackupSettingsPath(backupPath)) return;
  // The prefix's own files are put back afterwards.
  const bool hadMain = FileExists(mainPath), hadBackup = FileExists(backupPath);
  const std::string savedMain = ReadAll(mainPath);

  std::string text = BuildDefaultSettingsText();
  for (int i = 0; text.size() < 100000; ++i) {
    char pair[160];
    snprintf(pair, sizeof pair, "program name:Program %05d\r\nprogram path:C:\\Program Files\\Vendor\\app%05d.exe\r\n",
             i, i);
    if (text.size() + strlen(pair) > 100000) break;
    text += pair;
  }
  if (!WriteSettingsFile(mainPath, text.c_str())) {
    printf("could not write the settings file\n");
    return;
  }
  constexpr int kRounds = 300;
  const double acc0 = Now();
  int hits = 0;
  for (int i = 0; i < kRounds; ++i) hits += GetAdultFilterDegree();  // 1 in the default lines
  const double acc = (Now() - acc0) / kRounds;

  std::vector<char> buf(kSettingsCapacity);
  int good = 0;
  const double bare0 = Now();
  for (int i = 0; i < kRounds; ++i) {
    HANDLE h = CreateFileA(mainPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr);
    CloseHandle(h);
    if (got < kMinSettingsFileLength) continue;
    const size_t len = got - kChecksumLength;
    XorScramble(buf.data(), kScrambleKey, len);
    char sum[16];
    snprintf(sum, sizeof sum, "%08d", SettingsChecksum(buf.data(), len));
    good += memcmp(sum, buf.data() + len, kChecksumLength) == 0 ? 1 : 0;
  }
  const double bare = (Now() - bare0) / kRounds;
  printf("settings file: %zu bytes of text\n", text.size());
  printf("accessor:  %8.3f ms per call (%d/%d read the value)\n", acc * 1e3, hits, kRounds);
  printf("bare read: %8.3f ms per read, unscramble and checksum (%d/%d verified)\n", bare * 1e3, good, kRounds);
  printf("ratio accessor / bare read: %.2f\n", bare > 0 ? acc / bare : 0.0);

  // The settings window reads every page's settings from this file at set-up.
  std::vector<double> setups;
  for (int i = 0; i < 5; ++i) {
    CMossgraveDlg dlg;
    const double t0 = Now();
    dlg.Create(IDD_MOSSGRAVE_DIALOG, nullptr);
    setups.push_back(Now() - t0);
    StopProgramScan();
    dlg.DestroyWindow();
    g_installedPrograms.RemoveAll();
    g_chosenPrograms.RemoveAll();
  }
  std::sort(setups.begin(), setups.end());
  printf("window set-up: %6.1f ms (median of %zu)\n", setups[setups.size() / 2] * 1e3, setups.size());

  if (hadMain) {
    HANDLE h = CreateFileA(mainPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(h, savedMain.data(), static_cast<DWORD>(savedMain.size()), &put, nullptr);
    CloseHandle(h);
  } else {
    DeleteFileA(mainPath);
  }
  if (!hadBackup) DeleteFileA(backupPath);  // a damaged main file would have made one
}
void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// One posted message, as a message loop takes them: work the window posts to
// itself does not hide that it answers in between.
void PumpOne() {
  MSG m;
  if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// Asks a window from another thread, again and again, whether it answers,
// and keeps the longest time between two answers.
class CAnswerProbe {
 public:
  explicit CAnswerProbe(HWND target) : m_target(target) {
    m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    while (m_answers.load() == 0) {  // one answer first: the probe stands
      Pump();
      Sleep(1);
    }
  }
  ~CAnswerProbe() {
    m_stop = true;
    while (WaitForSingleObject(m_thread, 10) == WAIT_TIMEOUT) Pump();
    CloseHandle(m_thread);
  }
  // The answers so far; the longest gap counts from the last one on.
  int Answers() const { return m_answers.load(); }
  void ResetGap() { m_longestGap = 0; }
  double LongestGap() const { return m_longestGap; }

 private:
  static DWORD WINAPI Run(LPVOID self) {
    auto* p = static_cast<CAnswerProbe*>(self);
    double last = Now();
    while (!p->m_stop.load()) {
      DWORD_PTR r = 0;
      SendMessageTimeoutA(p->m_target, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &r);
      const double t = Now();
      p->m_longestGap = std::max(p->m_longestGap.load(), t - last);
      last = t;
      ++p->m_answers;
      Sleep(1);
    }
    return 0;
  }
  HWND m_target;
  HANDLE m_thread = nullptr;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_answers{0};
  std::atomic<double> m_longestGap{0};
};

// n programs as a Start menu gives them: folder entries, programs that share
// a few real files, and shortcuts whose files are gone.
void FillInstalledPrograms(int n) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string files[] = {self, "C:\\Program Files\\Internet Explorer\\iexplore.exe",
                               "C:\\Program Files\\Windows Media Player\\wmplayer.exe",
                               "C:\\windows\\system32\\notepad.exe", "C:\\windows\\system32\\winemine.exe"};
  g_installedPrograms.RemoveAll();
  g_installedPrograms.InitBuckets(1024);
  for (int i = 0; i < n; ++i) {
    char name[64];
    snprintf(name, sizeof name, "Program %05d", i);
    std::string path;
    switch (i % 3) {
      case 0: path = "C:\\Program Files\\Vendor " + std::to_string(i) + "\\"; break;
      case 1: path = files[(i / 3) % 5]; break;
      default: path = "C:\\Program Files\\Gone\\gone" + std::to_string(i) + ".exe"; break;
    }
    char* value = static_cast<char*>(malloc(path.size() + 1));
    memcpy(value, path.c_str(), path.size() + 1);
    if (!g_installedPrograms.Insert(name, value)) free(value);
  }
}

struct FillFigures {
  double answer = 0;      // from the hand-over until the window answers again, list painted
  double full = 0;        // from the hand-over until every row is in the list
  double longestGap = 0;  // longest time without an answer until then
  int items = 0;
};

FillFigures TimePageFill(HWND host, int n) {
  FillInstalledPrograms(n);
  CWnd hostWnd;
  hostWnd.m_hWnd = host;
  FillFigures f;
  {
    CProgramSelectedSetupDlg page;
    page.Create(IDD_PROGRAM_SELECTED, &hostWnd);
    page.MoveWindow(10, 10, 420, 330);
    page.ShowWindow(SW_SHOW);
    Pump();
    CAnswerProbe probe(page);
    probe.ResetGap();
    const int before = probe.Answers();
    const double t0 = Now();
    SendMessageA(page, WM_SCANDONE, 0, 0);
    UpdateWindow(page.GetDlgItem(IDC_PROGRAM_LIST));
    // Answered again: a probe that waited meanwhile has had its reply.
    while (probe.Answers() <= before + 1) {
      PumpOne();
      Sleep(0);
    }
    f.answer = Now() - t0;
    HWND list = page.GetDlgItem(IDC_PROGRAM_LIST);
    while (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) < n) {
      PumpOne();
      Sleep(0);
    }
    UpdateWindow(list);
    f.full = Now() - t0;
    f.longestGap = probe.LongestGap();
    f.items = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  }
  hostWnd.m_hWnd = nullptr;
  g_installedPrograms.RemoveAll();
  return f;
}

// The same count of plain text inserts into a fresh list of the same size,
// no icons, no check boxes.
FillFigures TimeBareInserts(HWND host, int n) {
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 30, 30, 360, 250,
                              host, nullptr, nullptr, nullptr);
  LVCOLUMNA col = {};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.cx = 300;
  col.pszText = const_cast<char*>("programs");
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
  Pump();
  FillFigures f;
  CAnswerProbe probe(list);
  probe.ResetGap();
  const int before = probe.Answers();
  const double t0 = Now();
  // Drawing off, as the page fills: with it on, Wine redraws the list on
  // every insert (about 7 ms each here), which no fill should pay.
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < n; ++i) {
    char name[64];
    snprintf(name, sizeof name, "Program %05d", i);
    LVITEMA it = {};
    it.mask = LVIF_TEXT;
    it.iItem = i;
    it.pszText = name;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  UpdateWindow(list);
  while (probe.Answers() <= before + 1) {
    Pump();
    Sleep(0);
  }
  f.answer = f.full = Now() - t0;
  f.longestGap = probe.LongestGap();
  f.items = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  DestroyWindow(list);
  return f;
}

void BenchProgramFill() {
  HWND host = CreateWindowExA(0, "STATIC", "bench host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  const char* roundsText = getenv("MOSSGRAVE_BENCH_FILL_ROUNDS");
  const int rounds = roundsText ? std::max(1, atoi(roundsText)) : 3;
  for (int n : {5000, 15000}) {
    std::vector<double> fills, fulls, bares;
    double longestFillGap = 0, longestBareGap = 0;
    int fillItems = 0, bareItems = 0;
    for (int round = 0; round < rounds; ++round) {
      const FillFigures fill = TimePageFill(host, n);
      const FillFigures bare = TimeBareInserts(host, n);
      if (getenv("MOSSGRAVE_BENCH_VERBOSE"))
        printf("  round %d: fill answers %.1f ms, full %.1f ms (gap %.1f ms), bare %.1f ms (gap %.1f ms)\n", round,
               fill.answer * 1e3, fill.full * 1e3, fill.longestGap * 1e3, bare.answer * 1e3, bare.longestGap * 1e3);
      fills.push_back(fill.answer);
      fulls.push_back(fill.full);
      bares.push_back(bare.answer);
      longestFillGap = std::max(longestFillGap, fill.longestGap);
      longestBareGap = std::max(longestBareGap, bare.longestGap);
      fillItems = fill.items;
      bareItems = bare.items;
    }
    const double fill = Median(fills), full = Median(fulls), bare = Median(bares);
    printf("program page, %d programs: answers again after %8.1f ms, all %d rows in after %.1f ms, longest silence %.1f ms\n",
           n, fill * 1e3, fillItems, full * 1e3, longestFillGap * 1e3);
    printf("bare inserts, %d items:    answers again after %8.1f ms (%d items), longest silence %.1f ms\n", n,
           bare * 1e3, bareItems, longestBareGap * 1e3);
    printf("ratio page fill / bare inserts: answer %.2f, all rows in %.2f (median of %d)\n", bare > 0 ? fill / bare : 0.0,
           bare > 0 ? full / bare : 0.0, rounds);
  }
  DestroyWindow(host);
}
}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  // One part alone when named: scan, accessor or fill.
  const std::string only = argc > 1 ? argv[1] : "";
  if (only.empty() || only == "scan") BenchScan();
  if (only.empty() || only == "accessor") BenchAccessor();
  if (only.empty() || only == "fill") BenchProgramFill();
  return 0;
}
