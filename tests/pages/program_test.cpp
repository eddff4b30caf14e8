#include "pages/programselectedsetupdlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pagesfixture.h"
#include "resource.h"
#include "settings/listedprograms.h"

namespace {
class ProgramPageTest : public PageTest {
 protected:
  static void Install(const std::vector<std::pair<std::string, std::string>>& entries) {
    g_installedPrograms.InitBuckets(1024);
    for (const auto& e : entries) {
      char* path = static_cast<char*>(malloc(e.second.size() + 1));
      memcpy(path, e.second.c_str(), e.second.size() + 1);
      ASSERT_TRUE(g_installedPrograms.Insert(e.first.c_str(), path));
    }
  }
  static std::vector<std::string> TableOrder() {
    std::vector<std::string> names;
    const char* key = nullptr;
    for (CNameTable::Position pos = g_installedPrograms.GetFirst(); pos;) {
      pos = g_installedPrograms.GetNext(pos, &key, nullptr);
      names.push_back(key);
    }
    return names;
  }
  static HWND List(const CWnd& page) { return page.GetDlgItem(IDC_PROGRAM_LIST); }
  static std::string ItemText(const CWnd& page, int i) {
    char buf[300] = {};
    LVITEMA it = {};
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    ::SendMessageA(List(page), LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
    return buf;
  }
  static int ItemImage(const CWnd& page, int i) {
    LVITEMA it = {};
    it.mask = LVIF_IMAGE;
    it.iItem = i;
    ::SendMessageA(List(page), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return it.iImage;
  }
  static bool Ticked(const CWnd& page, int i) {
    return ((::SendMessageA(List(page), LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
  }
  static void Tick(const CWnd& page, int i, bool on) {
    LVITEMA it = {};
    it.stateMask = LVIS_STATEIMAGEMASK;
    it.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
    ::SendMessageA(List(page), LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
  }
  static int ItemCount(const CWnd& page) { return static_cast<int>(::SendMessageA(List(page), LVM_GETITEMCOUNT, 0, 0)); }
};

TEST_F(ProgramPageTest, StartsFromTheSettingsWithAnEmptyList) {
  const struct {
    const char* what;
    std::string text;
    int filter, allow, deny;
    bool allowList;
  } cases[] = {
      {"default file", BuildDefaultSettingsText(), 0, 0, 1, false},
      {"no file", "", 0, 0, 1, false},
      {"filter on, allow list", Lines({"Enable program filter:1", "Program filter type:1"}), 1, 1, 0, true},
      {"filter on, forbid list", Lines({"Enable program filter:1", "Program filter type:0"}), 1, 0, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteSettingsFiles();
    if (!c.text.empty()) Store(c.text);
    CProgramSelectedSetupDlg page;
    Open(page, IDD_PROGRAM_SELECTED);
    EXPECT_EQ(Check(page, IDC_PROGRAM_FILTER), c.filter);
    EXPECT_EQ(::IsWindowEnabled(List(page)) != FALSE, c.filter == 1);
    EXPECT_EQ(Check(page, IDC_PROGRAM_ALLOW), c.allow);
    EXPECT_EQ(Check(page, IDC_PROGRAM_DENY), c.deny);
    EXPECT_EQ(ItemCount(page), 0);
    EXPECT_FALSE(page.HasScanHandedOver());
    SaveValues v;
    page.CollectSaveValues(v);
    EXPECT_EQ(v.programFilter, c.filter == 1);
    EXPECT_EQ(v.programAllowList, c.allowList);
  }
}

TEST_F(ProgramPageTest, ListLooksAndSitsAsLaidOut) {
  StoreDefault();
  CProgramSelectedSetupDlg page;
  ASSERT_TRUE(page.Create(IDD_PROGRAM_SELECTED, &host_));  // laid out from the size it is created with
  page.ShowWindow(SW_SHOW);
  const DWORD ex = static_cast<DWORD>(::SendMessageA(List(page), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_TRUE(ex & LVS_EX_CHECKBOXES);
  char heading[64] = {};
  LVCOLUMNA col = {};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.pszText = heading;
  col.cchTextMax = sizeof heading;
  ASSERT_TRUE(::SendMessageA(List(page), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&col)));
  EXPECT_STREQ(heading, "本机安装程序");
  EXPECT_EQ(col.cx, 300);

  RECT client, list, box;
  ::GetClientRect(page, &client);
  ::GetWindowRect(List(page), &list);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&list), 2);
  ::GetWindowRect(page.GetDlgItem(IDC_PROGRAM_FILTER), &box);
  ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
  EXPECT_EQ(list.left, client.left + 20);
  EXPECT_EQ(list.top, client.top + 20);
  EXPECT_EQ(list.right, client.right - 40);
  EXPECT_EQ(list.bottom, client.bottom - 60);
  EXPECT_EQ(box.left, 80);
  EXPECT_EQ(box.top, list.bottom);
  EXPECT_EQ(box.right - box.left, 300);
  EXPECT_EQ(box.bottom - box.top, 25);
  EXPECT_TRUE(::IsWindowVisible(page.GetDlgItem(IDC_PROGRAM_FILTER)));
}

TEST_F(ProgramPageTest, SwitchAndRadiosChangeNoFlag) {
  StoreDefault();
  CProgramSelectedSetupDlg page;
  Open(page, IDD_PROGRAM_SELECTED);
  const struct {
    int click;
    int filter, allow, deny;
  } steps[] = {
      {IDC_PROGRAM_FILTER, 1, 0, 1}, {IDC_PROGRAM_ALLOW, 1, 1, 0}, {IDC_PROGRAM_ALLOW, 1, 1, 0},
      {IDC_PROGRAM_DENY, 1, 0, 1},   {IDC_PROGRAM_FILTER, 0, 0, 1}, {IDC_PROGRAM_ALLOW, 0, 1, 0},
  };
  for (const auto& s : steps) {
    Click(page, s.click);
    EXPECT_EQ(Check(page, IDC_PROGRAM_FILTER), s.filter);
    EXPECT_EQ(::IsWindowEnabled(List(page)) != FALSE, s.filter == 1);
    EXPECT_EQ(Check(page, IDC_PROGRAM_ALLOW), s.allow);
    EXPECT_EQ(Check(page, IDC_PROGRAM_DENY), s.deny);
    SaveValues v;
    page.CollectSaveValues(v);
    EXPECT_EQ(v.programAllowList, s.deny != 1) << "0 only when forbid is checked";
  }
  EXPECT_FALSE(g_bSettingsChanged);
}

TEST_F(ProgramPageTest, ScanDoneListsTheTableAndTicksExactlyTheChosenNames) {
  Store(Lines({"Enable program filter:1", "Program filter type:0", "Program list:", "program name:Alpha",
               "program path:C:\\A\\alpha.exe", "program name:gamma", "program path:C:\\G\\", "program name:Gone",
               "program path:C:\\Gone\\gone.exe"}));
  CProgramSelectedSetupDlg page;
  Open(page, IDD_PROGRAM_SELECTED);
  Install({{"Alpha", "C:\\A\\alpha.exe"},
           {"Gamma", "C:\\G\\"},
           {"Notepad", "C:\\windows\\notepad.exe"},
           {"Beta", "C:\\B\\missing.exe"},
           {"Delta", "C:\\D\\delta.exe"}});
  const std::vector<std::string> order = TableOrder();

  EXPECT_EQ(::SendMessageA(page, WM_SCANDONE, 0, 0), 0);
  EXPECT_TRUE(page.HasScanHandedOver());
  ASSERT_EQ(ItemCount(page), static_cast<int>(order.size()));
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SendMessageA(List(page), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(images), static_cast<int>(order.size())) << "one image per program";
  for (int i = 0; i < ItemCount(page); ++i) {
    SCOPED_TRACE(order[i]);
    EXPECT_EQ(ItemText(page, i), order[i]) << "the table's order";
    EXPECT_EQ(ItemImage(page, i), i);
    EXPECT_EQ(Ticked(page, i), order[i] == "Alpha") << "exact, case-sensitive names";
  }

  SaveValues v;
  page.CollectSaveValues(v);
  ASSERT_EQ(v.programs.size(), 1u) << "a chosen program no longer found is dropped";
  EXPECT_EQ(v.programs[0].name, "Alpha");
  EXPECT_EQ(v.programs[0].path, "C:\\A\\alpha.exe");

  // The user's ticks, in list order.
  for (int i = 0; i < ItemCount(page); ++i) Tick(page, i, order[i] != "Alpha");
  page.ShowWindow(SW_HIDE);
  page.ShowWindow(SW_SHOW);
  page.CollectSaveValues(v);
  std::vector<std::string> saved;
  for (const ProgramEntry& p : v.programs) saved.push_back(p.name);
  std::vector<std::string> expected;
  for (const std::string& n : order)
    if (n != "Alpha") expected.push_back(n);
  EXPECT_EQ(saved, expected);
  EXPECT_FALSE(g_bSettingsChanged) << "ticks are no change of the flag";
}

// Thousands of programs go in over several turns of the message loop; the
// page answers meanwhile, and a save in the middle loses no tick.
TEST_F(ProgramPageTest, ManyProgramsFillInSharesAndASaveMeanwhileKeepsEveryTick) {
  std::string stored = "Program list:\r\n";
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 1800; ++i) {
    char name[32], path[64];
    snprintf(name, sizeof name, "Program %04d", i);
    snprintf(path, sizeof path, "C:\\P%d\\p.exe", i);
    entries.emplace_back(name, path);
    if (i % 7 == 0) stored += std::string("program name:") + name + "\r\nprogram path:" + path + "\r\n";
  }
  Store(Lines({"Enable program filter:1"}) + stored);
  CProgramSelectedSetupDlg page;
  Open(page, IDD_PROGRAM_SELECTED);
  Install(entries);
  const std::vector<std::string> order = TableOrder();
  auto chosen = [](const std::string& name) { return atoi(name.c_str() + 8) % 7 == 0; };

  ::SendMessageA(page, WM_SCANDONE, 0, 0);
  const int first = ItemCount(page);
  EXPECT_GT(first, 0);
  EXPECT_LT(first, static_cast<int>(order.size())) << "the rest waits for the message loop";

  // The user unticks a chosen row already shown, then saves before the rest is in.
  int unticked = -1;
  for (int i = 0; i < first && unticked < 0; ++i)
    if (chosen(order[i])) unticked = i;
  ASSERT_GE(unticked, 0);
  Tick(page, unticked, false);
  std::vector<std::string> expected;
  for (size_t i = 0; i < order.size(); ++i)
    if (chosen(order[i]) && static_cast<int>(i) != unticked) expected.push_back(order[i]);
  SaveValues v;
  page.CollectSaveValues(v);
  std::vector<std::string> saved;
  for (const ProgramEntry& p : v.programs) saved.push_back(p.name);
  EXPECT_EQ(saved, expected);

  for (int turn = 0; turn < 2000 && ItemCount(page) < static_cast<int>(order.size()); ++turn) {
    Pump();
    ::Sleep(5);
  }
  ASSERT_EQ(ItemCount(page), static_cast<int>(order.size()));
  for (int i = 0; i < ItemCount(page); ++i) {
    ASSERT_EQ(ItemText(page, i), order[i]) << "the table's order";
    ASSERT_EQ(ItemImage(page, i), i);
    ASSERT_EQ(Ticked(page, i), chosen(order[i]) && i != unticked) << order[i];
  }
  page.CollectSaveValues(v);
  saved.clear();
  for (const ProgramEntry& p : v.programs) saved.push_back(p.name);
  EXPECT_EQ(saved, expected);
}

TEST_F(ProgramPageTest, SaveBeforeTheScanKeepsTheStoredPrograms) {
  Store(Lines({"Enable program filter:1", "Program list:", "program name:Alpha", "program path:C:\\A\\alpha.exe",
               "program name:Suite", "program path:C:\\Suite\\", "Enable time limit:0"}));
  CProgramSelectedSetupDlg page;
  Open(page, IDD_PROGRAM_SELECTED);
  SaveValues v;
  page.CollectSaveValues(v);
  ASSERT_EQ(v.programs.size(), 2u);
  EXPECT_EQ(v.programs[0].name, "Alpha");
  EXPECT_EQ(v.programs[0].path, "C:\\A\\alpha.exe");
  EXPECT_EQ(v.programs[1].name, "Suite");
  EXPECT_EQ(v.programs[1].path, "C:\\Suite\\");
  const std::string text = BuildSettingsText(v);
  EXPECT_NE(text.find("Program list:\r\nprogram name:Alpha\r\nprogram path:C:\\A\\alpha.exe\r\n"
                      "program name:Suite\r\nprogram path:C:\\Suite\\\r\n"),
            std::string::npos);
}

TEST(ListedPrograms, PairsOfTheText) {
  const struct {
    const char* what;
    std::string text;
    std::vector<std::pair<std::string, std::string>> expected;
  } cases[] = {
      {"pairs in order", Lines({"program name:A", "program path:C:\\a.exe", "program name:B", "program path:C:\\B\\"}),
       {{"A", "C:\\a.exe"}, {"B", "C:\\B\\"}}},
      {"name without path", Lines({"program name:A", "Talk limit name:qq.exe", "program name:B", "program path:b"}),
       {{"B", "b"}}},
      {"path without name", Lines({"program path:x", "program name:C", "program path:c"}), {{"C", "c"}}},
      {"key inside another value is no line", Lines({"Password:program name:X", "program path:x"}), {}},
      {"unended last line", "program name:A\r\nprogram path:a", {}},
      {"empty values", Lines({"program name:", "program path:"}), {{"", ""}}},
      {"long name cut to 255", Lines({"program name:" + std::string(300, 'n'), "program path:p"}),
       {{std::string(255, 'n'), "p"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::pair<std::string, std::string>> got;
    for (const ProgramEntry& e : ParseListedPrograms(c.text.c_str())) got.emplace_back(e.name, e.path);
    EXPECT_EQ(got, c.expected);
  }
}

// A window that counts the scan's hand-overs.
class CScanTarget : public CWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SCANDONE) {
      ++handOvers;
      bucketsAtHandOver = g_installedPrograms.GetBucketCount();
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  int handOvers = 0;
  uint32_t bucketsAtHandOver = 0;
};

class ScanThreadTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    HWND h = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, host_, nullptr, nullptr, nullptr);
    target_.SubclassWindow(h);
  }
  void TearDown() override {
    StopProgramScan();
    ::DestroyWindow(target_.UnsubclassWindow());
    PageTest::TearDown();
  }
  CScanTarget target_;
};

TEST_F(ScanThreadTest, HandsOverOnceOnTheWindowsThread) {
  ASSERT_TRUE(StartProgramScan(target_));
  EXPECT_FALSE(StartProgramScan(target_)) << "one scan at a time";
  for (int i = 0; i < 200 && target_.handOvers == 0; ++i) {
    Pump();
    ::Sleep(20);
  }
  StopProgramScan();
  Pump();
  EXPECT_EQ(target_.handOvers, 1);
  EXPECT_EQ(target_.bucketsAtHandOver, 1024u);
}

TEST_F(ScanThreadTest, StopWhileTheScanWaitsInItsHandOverDoesNotHang) {
  ASSERT_TRUE(StartProgramScan(target_));
  ::Sleep(1500);  // the walk is over; the thread now waits for this thread to take WM_SCANDONE
  EXPECT_EQ(target_.handOvers, 0);
  StopProgramScan();  // takes the pending hand-over while it waits
  EXPECT_EQ(target_.handOvers, 1);
  g_installedPrograms.RemoveAll();  // what the close does next: nothing writes any more
  Pump();
  ::Sleep(100);
  EXPECT_EQ(g_installedPrograms.GetCount(), 0);
  EXPECT_EQ(target_.handOvers, 1);
  EXPECT_TRUE(StartProgramScan(target_)) << "the thread has ended";
}
}  // namespace
