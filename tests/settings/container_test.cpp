// The stored form of the settings text and the restore from the backup.
#include <windows.h>

#include <cstring>

#include "settings/settingsfile.h"
#include "settings/settingstext.h"
#include "settingsfixture.h"

namespace {

// Stored file of text: text XOR "fenwa" (restarting per file), then checksum chars.
std::string Scrambled(const std::string& text, const std::string& checksum) {
  static const char key[] = "fenwa";
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ key[i % 5]);
  return out + checksum;
}

struct LayoutCase {
  const char* name;
  std::string text;
  std::string fileBytes;
};

TEST(SettingsContainer, WritesExactBytes) {
  const LayoutCase cases[] = {
      {"ascii", "abc", std::string("\x07\x07\x0d", 3) + "00000294"},
      {"chinese char lowers the sum", "\xD6\xD0", "\xB0\xB5-0000090"},
      {"empty text is the checksum alone", "", "00000000"},
      {"key restarts after five bytes", "fenwaf", std::string(6, '\0') + "00000631"},
  };
  TempDir dir;
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("s.cfg");
    ASSERT_TRUE(WriteSettingsFile(path.c_str(), c.text.c_str()));
    EXPECT_EQ(ReadFileBytes(path), c.fileBytes);
  }
}

TEST(SettingsContainer, SealAndUnsealAgreeOnManyTexts) {
  const std::string texts[] = {
      "ab", "Password:480273\r\n", "\xD6\xD0\xCE\xC4 mixed \x80\xFF text",
      std::string(kMaxSettingsTextLength, 'x'),
  };
  for (const std::string& t : texts) {
    SCOPED_TRACE(t.size());
    std::string sealed;
    ASSERT_TRUE(SealSettingsText(t.c_str(), &sealed));
    EXPECT_EQ(sealed.size(), t.size() + 8);
    std::string out(kSettingsCapacity, '\0');
    EXPECT_EQ(UnsealSettingsBytes(sealed.data(), sealed.size(), &out[0], out.size()),
              UnsealResult::kOk);
    EXPECT_EQ(std::string(out.c_str()), t);
  }
}

TEST(SettingsContainer, UnsealNeverOverrunsASmallBuffer) {
  std::string sealed;
  ASSERT_TRUE(SealSettingsText("Password:480273\r\n", &sealed));
  char small[8 + 4];
  memset(small, 'Z', sizeof small);
  EXPECT_EQ(UnsealSettingsBytes(sealed.data(), sealed.size(), small, 8), UnsealResult::kNoRoom);
  EXPECT_EQ(std::string(small, sizeof small), std::string(sizeof small, 'Z'));
}

TEST(SettingsContainer, ChecksumFieldFollowsAtoiRules) {
  // Leading blanks and a plus sign are accepted; anything after the digits is ignored.
  struct Case { const char* field; bool ok; } cases[] = {
      {"00000294", true}, {"   +294 ", true}, {"294abcde", true},
      {"00000295", false}, {"x0000294", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const std::string bytes = Scrambled("abc", c.field);
    char out[64];
    EXPECT_EQ(UnsealSettingsBytes(bytes.data(), bytes.size(), out, sizeof out) == UnsealResult::kOk,
              c.ok);
  }
}

TEST(SettingsContainer, PathsAreBuiltFromTheSystemDirectory) {
  char sys[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(sys, MAX_PATH), 0u);
  EXPECT_EQ(MainPath(), std::string(sys) + "\\nf.cfg");
  EXPECT_EQ(BackupPath(), std::string(sys) + "\\drivers\\spinf.sys");
}

TEST(SettingsContainer, WriteToAFolderThatDoesNotExistFails) {
  TempDir dir;
  EXPECT_FALSE(WriteSettingsFile(dir.file("no\\such\\nf.cfg").c_str(), "abc"));
}

TEST(SettingsContainer, FileExists) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.file("a"), "x"));
  EXPECT_TRUE(FileExists(dir.file("a").c_str()));
  EXPECT_FALSE(FileExists(dir.file("b").c_str()));
  EXPECT_FALSE(FileExists(dir.path().c_str()));  // a folder cannot be opened as a file
}

using SettingsFileTest = SettingsFilesTest;

TEST_F(SettingsFileTest, RoundTripThroughTheMainFile) {
  const std::string texts[] = {"ab", "Password:\xC3\xDC\xC2\xEB\r\nEnable log:1\r\n",
                               std::string(kMaxSettingsTextLength, '\xB0')};
  for (const std::string& t : texts) {
    SCOPED_TRACE(t.size());
    StoreMain(t);
    std::string back;
    ASSERT_TRUE(ReadMain(&back));
    EXPECT_EQ(back, t);
  }
}

// Files the read must reject without going near the backup.
TEST_F(SettingsFileTest, UnreadableFilesAreNotRestored) {
  struct Case { const char* name; bool mainPresent; std::string mainBytes; } cases[] = {
      {"missing main file", false, ""},
      {"empty text, 8 bytes", true, "00000000"},
      {"9 bytes", true, Scrambled("a", "00000097")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    StoreBackup("Password:1\r\n");
    const std::string backupBytes = ReadFileBytes(BackupPath());
    if (c.mainPresent) {
      ASSERT_TRUE(WriteFileBytes(MainPath(), c.mainBytes));
    }
    std::string text;
    EXPECT_FALSE(ReadMain(&text));
    EXPECT_EQ(FileIsThere(MainPath()), c.mainPresent);
    if (c.mainPresent) {
      EXPECT_EQ(ReadFileBytes(MainPath()), c.mainBytes);
    }
    EXPECT_EQ(ReadFileBytes(BackupPath()), backupBytes);
  }
}

TEST_F(SettingsFileTest, EmptyTextWritesEightBytesThatDoNotRead) {
  StoreBackup("Password:1\r\n");
  const std::string backupBytes = ReadFileBytes(BackupPath());
  StoreMain("");
  EXPECT_EQ(ReadFileBytes(MainPath()), "00000000");
  std::string text;
  EXPECT_FALSE(ReadMain(&text));
  EXPECT_EQ(ReadFileBytes(MainPath()), "00000000");
  EXPECT_EQ(ReadFileBytes(BackupPath()), backupBytes);
}

TEST_F(SettingsFileTest, TenByteFileVerifies) {
  StoreMain("ab");
  EXPECT_EQ(ReadFileBytes(MainPath()).size(), 10u);
  std::string text;
  ASSERT_TRUE(ReadMain(&text));
  EXPECT_EQ(text, "ab");
}

TEST_F(SettingsFileTest, DamagedMainIsReplacedBySoundBackup) {
  StoreBackup("Password:backup\r\n");
  StoreMain("Password:main\r\n");
  std::string bytes = ReadFileBytes(MainPath());
  for (size_t at : {size_t(0), bytes.size() - 1}) {  // a text byte, a checksum byte
    SCOPED_TRACE(at);
    StoreMain("Password:main\r\n");
    std::string damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
    ASSERT_TRUE(WriteFileBytes(MainPath(), damaged));
    std::string text;
    ASSERT_TRUE(ReadMain(&text));
    EXPECT_EQ(text, "Password:backup\r\n");
    EXPECT_EQ(ReadFileBytes(MainPath()), ReadFileBytes(BackupPath()));
  }
}

TEST_F(SettingsFileTest, BothDamagedFailsAndLeavesTheBackupBytesInMain) {
  const std::string badBackup = Scrambled("Password:b\r\n", "00000001");
  ASSERT_TRUE(WriteFileBytes(BackupPath(), badBackup));
  ASSERT_TRUE(WriteFileBytes(MainPath(), Scrambled("Password:m\r\n", "00000002")));
  std::string text;
  EXPECT_FALSE(ReadMain(&text));
  EXPECT_EQ(ReadFileBytes(MainPath()), badBackup);
  EXPECT_EQ(ReadFileBytes(BackupPath()), badBackup);
}

TEST_F(SettingsFileTest, DamagedMainWithoutBackupFails) {
  ASSERT_TRUE(WriteFileBytes(MainPath(), Scrambled("Password:m\r\n", "00000002")));
  std::string text;
  EXPECT_FALSE(ReadMain(&text));
}

TEST_F(SettingsFileTest, OnlyTheFirst102400BytesAreExamined) {
  StoreBackup("Password:backup\r\n");
  // A sound short file with junk behind it: the checksum is taken from just
  // before the limit, so it fails and the backup is restored.
  std::string sealed;
  ASSERT_TRUE(SealSettingsText("Password:main\r\n", &sealed));
  ASSERT_TRUE(WriteFileBytes(MainPath(), sealed + std::string(kSettingsCapacity, 'j')));
  std::string text;
  ASSERT_TRUE(ReadMain(&text));
  EXPECT_EQ(text, "Password:backup\r\n");

  // A full-size sound file with bytes beyond the limit still verifies.
  const std::string big(kMaxSettingsTextLength, 'q');
  ASSERT_TRUE(SealSettingsText(big.c_str(), &sealed));
  ASSERT_TRUE(WriteFileBytes(MainPath(), sealed + "trailing"));
  ASSERT_TRUE(ReadMain(&text));
  EXPECT_EQ(text, big);
}

// A text that could not be read back is refused and the file stays as it was.
TEST_F(SettingsFileTest, RefusesTextsThatWouldNotReadBack) {
  struct Case { const char* name; std::string text; bool accepted; } cases[] = {
      {"longest storable text", std::string(kMaxSettingsTextLength, 'a'), true},
      {"one byte too long", std::string(kMaxSettingsTextLength + 1, 'a'), false},
      {"sum -9,999,872 still fits eight characters", std::string(78124, '\x80'), true},
      {"sum -10,000,000 needs nine characters", std::string(78125, '\x80'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreMain("Password:kept\r\n");
    const std::string before = ReadFileBytes(MainPath());
    EXPECT_EQ(WriteSettingsFile(MainPath().c_str(), c.text.c_str()), c.accepted);
    std::string text;
    ASSERT_TRUE(ReadMain(&text));
    EXPECT_EQ(text, c.accepted ? c.text : "Password:kept\r\n");
    if (!c.accepted) {
      EXPECT_EQ(ReadFileBytes(MainPath()), before);
    }
  }
}

TEST_F(SettingsFileTest, DeleteSettingsFilesRemovesBoth) {
  StoreMain("ab");
  StoreBackup("ab");
  DeleteSettingsFiles();
  EXPECT_FALSE(FileIsThere(MainPath()));
  EXPECT_FALSE(FileIsThere(BackupPath()));
  DeleteSettingsFiles();  // nothing there: no harm
}

}  // namespace
