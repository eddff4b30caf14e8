// Saves that are cut off part way, and saves while other readers use the file.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "settings/settingstext.h"
#include "settingsfixture.h"

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// Temporary files of the store left in the folders of both settings files.
int LeftTemporaries() {
  int n = 0;
  for (const std::string& file : {MainPath(), BackupPath()}) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((FolderOf(file) + "\\mgs*.tmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      ++n;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  return n;
}

size_t SealedSize(const std::string& text) {
  std::string sealed;
  EXPECT_TRUE(SealSettingsText(text.c_str(), &sealed));
  return sealed.size();
}

std::string Settings(const char* password, const char* flag, int programs) {
  std::string t = std::string("Password:") + password + "\r\nEnable log:" + flag +
                  "\r\nLog save time:3\r\nEnable adult filter:" + flag + "\r\n";
  for (int i = 0; i < programs; ++i)
    t += "program name:\xB3\xCC\xD0\xF2" + std::to_string(i) + ".exe\r\nprogram path:C:\\p\\" +
         std::to_string(i) + ".exe\r\n";
  return t + "MonStartTime:07:00:00\r\n";
}

class SafeSaveTest : public SettingsFilesTest {
 protected:
  void TearDown() override {
    SetWriteCutAfterBytes(-1);
    SettingsFilesTest::TearDown();
  }
  // What the next read of the main file gives ("" when it fails).
  static std::string NextRead() {
    std::string text;
    return ReadMain(&text) ? text : std::string();
  }
};

// Every way the store writes, each cut off after every possible byte count:
// the next read gives exactly the old or exactly the new text, the new one
// only once all of it is written, and no temporary file stays.
TEST_F(SafeSaveTest, ACutAtAnyByteLeavesTheOldOrTheNewText) {
  const std::string oldText = Settings("old-pass", "0", 1);
  const std::string newText = Settings("new-pass", "1", 2);
  struct Way {
    const char* name;
    size_t bytes;  // written by the whole operation
    void (*run)(const std::string& newText);
    std::string backupAfter;  // the backup's text once it is done
  };
  const Way ways[] = {
      {"full save: main, then backup", 2 * SealedSize(newText),
       [](const std::string& t) {
         WriteSettingsFile(MainPath().c_str(), t.c_str());
         WriteSettingsFile(BackupPath().c_str(), t.c_str());
       },
       newText},
      {"main file alone", SealedSize(newText),
       [](const std::string& t) { WriteSettingsFile(MainPath().c_str(), t.c_str()); }, oldText},
  };
  for (const Way& w : ways) {
    for (size_t k = 0; k <= w.bytes + 1; ++k) {
      SCOPED_TRACE(std::string(w.name) + ", cut after byte " + std::to_string(k));
      StoreMain(oldText);
      StoreBackup(oldText);
      SetWriteCutAfterBytes(static_cast<long long>(k));
      w.run(newText);
      SetWriteCutAfterBytes(-1);
      const bool mainDone = k >= SealedSize(newText);
      ASSERT_EQ(NextRead(), mainDone ? newText : oldText);
      std::string backup(kSettingsCapacity, '\0');
      ASSERT_TRUE(ReadSettingsFile(BackupPath().c_str(), &backup[0], backup.size()))
          << "the backup stays sound";
      if (k >= w.bytes) {
        EXPECT_EQ(std::string(backup.c_str()), w.backupAfter);
      }
      ASSERT_EQ(LeftTemporaries(), 0);
    }
  }
}

// A damaged main file is restored from the backup by the next read; that
// restore cut off anywhere leaves a main file the read after repairs.
TEST_F(SafeSaveTest, ACutRestoreIsRepairedByTheNextRead) {
  const std::string backupText = Settings("pass", "1", 1);
  for (size_t k = 0; k <= SealedSize(backupText); ++k) {
    SCOPED_TRACE("cut after byte " + std::to_string(k));
    StoreBackup(backupText);
    ASSERT_TRUE(WriteFileBytes(MainPath(), "damaged main file"));
    SetWriteCutAfterBytes(static_cast<long long>(k));
    std::string text;
    const bool readNow = ReadMain(&text);
    SetWriteCutAfterBytes(-1);
    if (readNow) {
      EXPECT_EQ(text, backupText);
    }
    EXPECT_EQ(readNow, k >= SealedSize(backupText));
    ASSERT_EQ(NextRead(), backupText);
    ASSERT_EQ(LeftTemporaries(), 0);
  }
}

TEST_F(SafeSaveTest, NoTemporaryIsLeftWhenTheFileCannotBeReplaced) {
  TempDir dir;
  const std::string folderAsFile = dir.file("sub");
  ASSERT_TRUE(CreateDirectoryA(folderAsFile.c_str(), nullptr));
  EXPECT_FALSE(WriteSettingsFile(folderAsFile.c_str(), "abc\r\n"));
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(dir.file("*.tmp").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << fd.cFileName;
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

// A reader that keeps the file open the whole time: the save still lands,
// written in place.
TEST_F(SafeSaveTest, AFileHeldOpenIsStillWritten) {
  StoreMain("before\r\n");
  HANDLE h = CreateFileA(MainPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(WriteSettingsFile(MainPath().c_str(), "after, somewhat longer\r\n"));
  CloseHandle(h);
  EXPECT_EQ(NextRead(), "after, somewhat longer\r\n");
  EXPECT_EQ(LeftTemporaries(), 0);
}

// Another process's filter reads the main file over and over: read, verify,
// and copy the backup over it when the checksum does not match. Saves made
// meanwhile are never undone by such a restore. (The reader pauses a
// millisecond between reads: one that never lets go of the file gets the
// in-place write that is the last resort.)
TEST_F(SafeSaveTest, SavesSurviveAReaderThatRestoresOnMismatch) {
  const std::string texts[2] = {Settings("one", "0", 40), Settings("two", "1", 60)};
  StoreMain(texts[0]);
  StoreBackup(texts[0]);
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, restores{0};
  const std::string mainPath = MainPath(), backupPath = BackupPath();
  std::thread reader([&] {
    std::vector<char> raw(kSettingsCapacity), out(kSettingsCapacity);
    while (!stop) {
      FILE* f = fopen(mainPath.c_str(), "rb");
      if (!f) continue;
      const size_t n = fread(raw.data(), 1, raw.size(), f);
      fclose(f);
      ++reads;
      Sleep(1);
      if (UnsealSettingsBytes(raw.data(), n, out.data(), out.size()) == UnsealResult::kMismatch) {
        ++restores;
        CopyFileA(backupPath.c_str(), mainPath.c_str(), FALSE);
      }
    }
  });
  int lost = 0;
  for (int i = 0; i < 300; ++i) {
    const std::string& t = texts[i % 2 == 0 ? 1 : 0];
    WriteSettingsFile(mainPath.c_str(), t.c_str());
    WriteSettingsFile(backupPath.c_str(), t.c_str());
    std::string now;
    if (!ReadMain(&now) || now != t) ++lost;
  }
  stop = true;
  reader.join();
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(restores, 0) << "a reader saw a half-written file";
  EXPECT_GT(reads, 300) << "the reader hardly ran";
  EXPECT_EQ(LeftTemporaries(), 0);
}

}  // namespace
