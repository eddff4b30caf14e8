#include "pages/programscan.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "pagesfixture.h"
#include "settings/nametable.h"

namespace {
// Writes a real shell shortcut to target at path.
bool MakeShortcut(const std::string& path, const std::string& target) {
  CoInitialize(nullptr);
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
  } else {
    ok = false;
  }
  link->Release();
  return ok;
}

void Put32(std::string& s, size_t at, uint32_t v) { memcpy(&s[at], &v, 4); }

// A shortcut file whose link information holds target as its local path,
// byte for byte: the shell object would make a relative or variable path
// absolute before storing it, so such targets are written directly.
bool WriteStoredShortcut(const std::string& path, const std::string& target) {
  std::string b(76, '\0');
  b[0] = 0x4C;
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  memcpy(&b[4], clsid, 16);
  Put32(b, 20, 0x2);  // has link information
  Put32(b, 60, SW_SHOWNORMAL);
  std::string volume(0x11, '\0');
  Put32(volume, 0, 0x11);
  Put32(volume, 4, DRIVE_FIXED);
  Put32(volume, 12, 0x10);
  std::string info(0x1C, '\0');
  const uint32_t localPath = 0x1C + static_cast<uint32_t>(volume.size());
  const uint32_t suffix = localPath + static_cast<uint32_t>(target.size()) + 1;
  Put32(info, 0, suffix + 1);
  Put32(info, 4, 0x1C);
  Put32(info, 8, 1);  // volume and local path
  Put32(info, 12, 0x1C);
  Put32(info, 16, localPath);
  Put32(info, 24, suffix);
  info += volume + target + '\0' + '\0';
  b += info + std::string(4, '\0');
  return WriteFileBytes(path, b);
}

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

constexpr char kUser[] = "tester";
const char* const kAllUsers = "\\Documents and Settings\\All Users\\Start Menu\\Programs";
const char* const kAllUsersCn = "\\Documents and Settings\\All Users\\「开始」菜单\\程序";
const char* const kUserPrograms = "\\Documents and Settings\\tester\\Start Menu\\Programs";
const char* const kUserProgramsCn = "\\Documents and Settings\\tester\\「开始」菜单\\程序";

struct Shortcut {
  const char* programs;  // one of the four Programs folders
  std::string relative;  // file below it, may hold one folder
  std::string target;
  bool stored = false;  // written byte for byte, not through the shell object
};

using Entries = std::map<std::string, std::string>;

Entries TableEntries(const CNameTable& table) {
  Entries out;
  const char* key = nullptr;
  void* value = nullptr;
  for (CNameTable::Position pos = table.GetFirst(); pos;) {
    pos = table.GetNext(pos, &key, &value);
    out[key] = value ? static_cast<const char*>(value) : "<null>";
  }
  return out;
}

class ScanTest : public ::testing::Test {
 protected:
  void Build(const std::vector<Shortcut>& shortcuts) {
    for (const Shortcut& s : shortcuts) {
      const std::string path = dir().path() + s.programs + "\\" + s.relative;
      MakeFolders(path.substr(0, path.rfind('\\')));
      ASSERT_TRUE(s.stored ? WriteStoredShortcut(path, s.target) : MakeShortcut(path, s.target)) << path;
      char resolved[kPathSize] = {};
      ASSERT_TRUE(ResolveShortcut(path.c_str(), resolved, sizeof resolved));
      ASSERT_EQ(std::string(resolved), s.target) << "the shortcut holds the target as given";
    }
  }
  Entries Scan(const char* systemDirectory) {
    CNameTable table;
    ScanContext ctx;
    ctx.table = &table;
    ctx.systemDirectory = systemDirectory;
    EXPECT_TRUE(ScanStartMenu(ctx, kUser, dir().path().c_str()));
    EXPECT_EQ(table.GetBucketCount(), 1024u);
    return TableEntries(table);
  }
  // Names of the files of a folder in the order the file system lists them.
  std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
  }
  void RemoveTree() { dirHolder_ = std::make_unique<TempDir>(); }
  const TempDir& dir() const { return *dirHolder_; }
  std::unique_ptr<TempDir> dirHolder_ = std::make_unique<TempDir>();
};

TEST_F(ScanTest, WhichShortcutsBecomeEntries) {
  const struct {
    const char* what;
    std::vector<Shortcut> shortcuts;
    const char* systemDirectory;
    Entries expected;
  } cases[] = {
      {"program outside the Windows folder", {{kAllUsers, "Editor.lnk", "C:\\Apps\\Editor\\editor.exe"}},
       "C:\\windows\\system32", {{"Editor", "C:\\Apps\\Editor\\editor.exe"}}},
      {"Windows folder on the system drive, any case", {{kAllUsers, "Note.lnk", "C:\\WINDOWS\\notepad.exe"}},
       "C:\\windows\\system32", {}},
      {"Windows folder of another drive", {{kAllUsers, "Note.lnk", "C:\\WINDOWS\\notepad.exe"}},
       "D:\\windows\\system32", {{"Note", "C:\\WINDOWS\\notepad.exe"}}},
      {"upper-case extension", {{kUserPrograms, "Big.lnk", "C:\\Apps\\BIG.EXE"}}, "C:\\windows\\system32",
       {{"Big", "C:\\Apps\\BIG.EXE"}}},
      {"documents, help and pages are no programs",
       {{kAllUsers, "Doc.lnk", "C:\\Apps\\readme.txt"},
        {kAllUsers, "Help.lnk", "C:\\Apps\\help.chm"},
        {kAllUsers, "Site.lnk", "C:\\Apps\\index.htm"}},
       "C:\\windows\\system32", {}},
      {"help shortcut and program in one folder",
       {{kAllUsers, "Suite\\A Help.lnk", "C:\\Apps\\Suite\\help.chm"},
        {kAllUsers, "Suite\\B Program.lnk", "C:\\Apps\\Suite\\bin\\suite.exe"}},
       "C:\\windows\\system32", {{"Suite", "C:\\Apps\\Suite\\bin\\"}}},
      {"a folder whose first program is in the Windows folder",
       {{kAllUsers, "Tools\\Calc.lnk", "C:\\windows\\system32\\calc.exe"},
        {kAllUsers, "Tools\\Tool.lnk", "C:\\Tools\\tool.exe"}},
       "C:\\windows\\system32", {{"Tools", "C:\\Tools\\"}}},
      {"nested folder not visited", {{kAllUsers, "Outer\\Inner\\Deep.lnk", "C:\\Deep\\deep.exe"}},
       "C:\\windows\\system32", {}},
      {"same name for all users and the user",
       {{kAllUsers, "Same.lnk", "C:\\AllUsers\\same.exe"}, {kUserPrograms, "Same.lnk", "C:\\User\\same.exe"}},
       "C:\\windows\\system32", {{"Same", "C:\\AllUsers\\same.exe"}}},
      {"dots in the shortcut's name", {{kAllUsers, "Readme 1.2.lnk", "C:\\R\\reader.exe"}}, "C:\\windows\\system32",
       {{"Readme 1.2", "C:\\R\\reader.exe"}}},
      {"Chinese folder names", {{kAllUsersCn, "甲.lnk", "C:\\Cn\\a.exe"}, {kUserProgramsCn, "乙.lnk", "C:\\Cn\\b.exe"}},
       "C:\\windows\\system32", {{"甲", "C:\\Cn\\a.exe"}, {"乙", "C:\\Cn\\b.exe"}}},
      {"colon in the target", {{kAllUsers, "Forged.lnk", "C:\\Apps\\x Enable time limit:1\\a.exe"}},
       "C:\\windows\\system32", {}},
      {"line break in the target",
       {{kAllUsers, "Forged.lnk", "C:\\Apps\\x\r\nEnable time limit\\a.exe", true},
        {kAllUsers, "Forged2.lnk", "C:\\Apps\\x\nb.exe", true},
        {kAllUsers, "Forged3.lnk", "C:\\Apps\\x\rb.exe", true}},
       "C:\\windows\\system32", {}},
      {"forged target in a folder: the next program counts",
       {{kAllUsers, "Kit\\A.lnk", "C:\\Kit\\a:b\\a.exe"}, {kAllUsers, "Kit\\B.lnk", "C:\\Kit\\b.exe"}},
       "C:\\windows\\system32", {{"Kit", "C:\\Kit\\"}}},
      {"variable in the target stays unexpanded",
       {{kAllUsers, "Pad.lnk", "%SystemRoot%\\notepad.exe", true}}, "C:\\windows\\system32",
       {{"Pad", "%SystemRoot%\\notepad.exe"}}},
      {"a stored path that is not the shell's absolute form",
       {{kUserPrograms, "Rel.lnk", "tools\\rel.exe", true}}, "C:\\windows\\system32",
       {{"Rel", "tools\\rel.exe"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree();
    Build(c.shortcuts);
    EXPECT_EQ(Scan(c.systemDirectory), c.expected);
  }
}

// The find-first call as systems of two ages answer it, every call kept.
struct FindCall {
  FINDEX_INFO_LEVELS level;
  DWORD flags;
};
std::vector<FindCall> g_findCalls;

HANDLE WINAPI FindAsWindows7(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                             LPVOID filter, DWORD flags) {
  g_findCalls.push_back({level, flags});
  return FindFirstFileExA(pattern, level, data, op, filter, flags);
}

// Vista and XP know neither the basic level nor the large fetch.
HANDLE WINAPI FindAsVista(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op, LPVOID filter,
                          DWORD flags) {
  g_findCalls.push_back({level, flags});
  if (level != FindExInfoStandard || flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return FindFirstFileExA(pattern, level, data, op, filter, flags);
}

TEST_F(ScanTest, ListsFoldersOnSystemsWithAndWithoutTheFastListing) {
  Build({{kAllUsers, "Editor.lnk", "C:\\Apps\\editor.exe"},
         {kAllUsers, "Suite\\Suite.lnk", "C:\\Suite\\bin\\suite.exe"},
         {kUserProgramsCn, "乙.lnk", "C:\\Cn\\b.exe"}});
  const struct {
    const char* what;
    FindFirstFileExFunc find;
    bool plainListing;  // the plain form is asked for
  } systems[] = {{"Windows 7 and later: the fast listing only", FindAsWindows7, false},
                 {"before Windows 7: the plain listing after the refusal", FindAsVista, true}};
  for (const auto& system : systems) {
    SCOPED_TRACE(system.what);
    g_findCalls.clear();
    SetFindFirstFileEx(system.find);
    const Entries got = Scan("C:\\windows\\system32");
    SetFindFirstFileEx(nullptr);
    EXPECT_EQ(got, (Entries{{"Editor", "C:\\Apps\\editor.exe"}, {"Suite", "C:\\Suite\\bin\\"},
                            {"乙", "C:\\Cn\\b.exe"}}));
    ASSERT_FALSE(g_findCalls.empty());
    EXPECT_EQ(g_findCalls[0].level, FindExInfoBasic) << "the fast form is tried first";
    EXPECT_EQ(g_findCalls[0].flags, static_cast<DWORD>(FIND_FIRST_EX_LARGE_FETCH));
    const bool plain = std::any_of(g_findCalls.begin(), g_findCalls.end(),
                                   [](const FindCall& c) { return c.level == FindExInfoStandard && c.flags == 0; });
    EXPECT_EQ(plain, system.plainListing) << "the plain form only after a refusal, not for a missing folder";
  }
}

TEST_F(ScanTest, TwoProgramsInAFolderGiveOneEntryForTheFirstListed) {
  Build({{kAllUsers, "Pair\\One.lnk", "C:\\P1\\one.exe"}, {kAllUsers, "Pair\\Two.lnk", "C:\\P2\\two.exe"}});
  const std::vector<std::string> order = Listing(dir().path() + kAllUsers + "\\Pair");
  ASSERT_EQ(order.size(), 2u);
  const Entries got = Scan("C:\\windows\\system32");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got.begin()->first, "Pair");
  EXPECT_EQ(got.begin()->second, order[0] == "One.lnk" ? "C:\\P1\\" : "C:\\P2\\");
}

TEST_F(ScanTest, AFileWithoutADotIsNoShortcut) {
  Build({{kAllUsers, "Real.lnk", "C:\\Apps\\real.exe"}});
  const std::string folder = dir().path() + kAllUsers;
  ASSERT_TRUE(CopyFileA((folder + "\\Real.lnk").c_str(), (folder + "\\Plain").c_str(), TRUE));
  ASSERT_TRUE(CopyFileA((folder + "\\Real.lnk").c_str(), (folder + "\\Other.txt").c_str(), TRUE));
  EXPECT_EQ(Scan("C:\\windows\\system32"), (Entries{{"Real", "C:\\Apps\\real.exe"}}));
}

TEST_F(ScanTest, NoDriveLetterMeansNoWalk) {
  Build({{kAllUsers, "Editor.lnk", "C:\\Apps\\editor.exe"}});
  CNameTable table;
  ScanContext ctx;
  ctx.table = &table;
  ctx.systemDirectory = "\\\\server\\share\\system32";
  EXPECT_FALSE(ScanStartMenu(ctx, kUser, dir().path().c_str()));
  EXPECT_EQ(table.GetBucketCount(), 0u);
  EXPECT_EQ(table.GetCount(), 0);
}

TEST_F(ScanTest, AStoppedScanInsertsNothing) {
  Build({{kAllUsers, "Editor.lnk", "C:\\Apps\\editor.exe"}, {kAllUsers, "Suite\\S.lnk", "C:\\S\\s.exe"}});
  CNameTable table;
  std::atomic<bool> stop{true};
  ScanContext ctx;
  ctx.table = &table;
  ctx.systemDirectory = "C:\\windows\\system32";
  ctx.stop = &stop;
  ScanStartMenu(ctx, kUser, dir().path().c_str());
  EXPECT_EQ(table.GetCount(), 0);
}

TEST(ScanHelpers, SplitFileName) {
  const struct {
    const char* name;
    const char* extension;
    const char* base;
  } cases[] = {
      {"Editor.lnk", "lnk", "Editor"},  {"Readme 1.2.lnk", "lnk", "Readme 1.2"},
      {"PROG.EXE", "exe", "PROG"},      {"noext", "", "noext"},
      {"trailing.", "", "trailing"},    {".lnk", "lnk", ""},
      {"C:\\a.b\\prog", "b\\prog", "C:\\a"},
  };
  for (const auto& c : cases) {
    std::string extension = "x", base = "y";
    SplitFileName(c.name, extension, base);
    EXPECT_EQ(extension, c.extension) << c.name;
    EXPECT_EQ(base, c.base) << c.name;
  }
}

TEST(ScanHelpers, IsUnderWindowsFolder) {
  const struct {
    const char* path;
    const char* systemDirectory;
    bool expected;
  } cases[] = {
      {"C:\\WINDOWS\\notepad.exe", "C:\\windows\\system32", true},
      {"c:\\Windows\\System32\\calc.exe", "C:\\WINDOWS\\system32", true},
      {"C:\\WINDOWS\\notepad.exe", "D:\\windows\\system32", false},
      {"D:\\Windows\\x.exe", "d:\\windows\\system32", true},
      {"C:\\Windowsx\\a.exe", "C:\\windows\\system32", false},
      {"C:\\WinNT\\a.exe", "C:\\winnt\\system32", false},  // only "windows" counts
      {"E:\\mirror\\c:\\windows\\a.exe", "C:\\windows\\system32", true},  // anywhere in the path
      {"%SystemRoot%\\notepad.exe", "C:\\windows\\system32", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsUnderWindowsFolder(c.path, c.systemDirectory), c.expected) << c.path << " on " << c.systemDirectory;
}

TEST(ScanHelpers, OnlyValuesThatCannotForgeALine) {
  const struct {
    const char* text;
    bool safe;
  } cases[] = {
      {"C:\\Apps\\a.exe", true},
      {"Readme 1.2", true},
      {"\\\\server\\share\\a.exe", true},
      {"%SystemRoot%\\a.exe", true},
      {"C:\\a\r\nEnable time limit:1\\b.exe", false},
      {"name\nprogram name:x", false},
      {"name\rx", false},
      {"C:\\a:b.exe", false},
      {":C\\a.exe", false},
      {"Enable log:1", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeSettingsValue(c.text), c.safe) << c.text;
}

TEST(ScanHelpers, ResolveShortcutFailsOnWhatIsNoShortcut) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.file("bad.lnk"), "not a shortcut"));
  char target[kPathSize] = "untouched";
  EXPECT_FALSE(ResolveShortcut(dir.file("bad.lnk").c_str(), target, sizeof target));
  EXPECT_FALSE(ResolveShortcut(dir.file("missing.lnk").c_str(), target, sizeof target));
}
}  // namespace
