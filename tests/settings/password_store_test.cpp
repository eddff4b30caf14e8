// The stored form of a password, the checks against it, and the pace at
// which wrong entries may be tried.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/guessdelay.h"
#include "settings/passwordcheck.h"
#include "settings/passwordhash.h"
#include "settings/settings.h"
#include "settingsfixture.h"

namespace {

std::string Hex(const unsigned char* b, size_t n) {
  static const char d[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += {d[b[i] >> 4], d[b[i] & 15]};
  return s;
}

const std::string kSaltHex = "000102030405060708090a0b0c0d0e0f";
const std::string kHashHex(64, 'a');

TEST(PasswordHashValue, FormatsAndParsesBack) {
  PasswordHash h;
  h.iterations = 100000;
  for (size_t i = 0; i < kPasswordSaltBytes; ++i) h.salt[i] = static_cast<unsigned char>(i * 17);
  for (size_t i = 0; i < kPasswordHashBytes; ++i) h.hash[i] = static_cast<unsigned char>(255 - i);
  const std::string v = FormatPasswordHash(h);
  EXPECT_EQ(v.compare(0, strlen(kPasswordHashMarker), kPasswordHashMarker), 0);
  EXPECT_LT(v.size(), 255u);
  for (char c : v) {
    EXPECT_TRUE(c >= 0x21 && c <= 0x7E) << "printable, no space";
    EXPECT_NE(c, ':');
  }
  PasswordHash back;
  ASSERT_TRUE(ParsePasswordHash(v.data(), v.size(), &back));
  EXPECT_EQ(back.iterations, h.iterations);
  EXPECT_EQ(Hex(back.salt, kPasswordSaltBytes), Hex(h.salt, kPasswordSaltBytes));
  EXPECT_EQ(Hex(back.hash, kPasswordHashBytes), Hex(h.hash, kPasswordHashBytes));
}

TEST(PasswordHashValue, ReadsOnlyTheExactForm) {
  const std::string good = "$pbkdf2-sha256$100000$" + kSaltHex + "$" + kHashHex;
  const struct {
    const char* what;
    std::string value;
    bool parses;
  } cases[] = {
      {"good", good, true},
      {"one iteration", "$pbkdf2-sha256$1$" + kSaltHex + "$" + kHashHex, true},
      {"largest count", "$pbkdf2-sha256$5000000$" + kSaltHex + "$" + kHashHex, true},
      {"count too large", "$pbkdf2-sha256$5000001$" + kSaltHex + "$" + kHashHex, false},
      {"count with eight digits", "$pbkdf2-sha256$10000000$" + kSaltHex + "$" + kHashHex, false},
      {"count zero", "$pbkdf2-sha256$0$" + kSaltHex + "$" + kHashHex, false},
      {"leading zero", "$pbkdf2-sha256$0100$" + kSaltHex + "$" + kHashHex, false},
      {"no count", "$pbkdf2-sha256$$" + kSaltHex + "$" + kHashHex, false},
      {"sign in count", "$pbkdf2-sha256$+100$" + kSaltHex + "$" + kHashHex, false},
      {"upper-case hex", "$pbkdf2-sha256$100000$" + kSaltHex + "$" + std::string(64, 'A'), false},
      {"short salt", "$pbkdf2-sha256$100000$" + kSaltHex.substr(2) + "$" + kHashHex, false},
      {"long hash", good + "00", false},
      {"short hash", good.substr(0, good.size() - 1), false},
      {"trailing dollar", good + "$", false},
      {"other method", "$pbkdf2-sha1$100000$" + kSaltHex + "$" + kHashHex, false},
      {"marker alone", "$pbkdf2-sha256$", false},
      {"plain password", "480273", false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PasswordHash h;
    h.iterations = 7;
    EXPECT_EQ(ParsePasswordHash(c.value.data(), c.value.size(), &h), c.parses);
    if (!c.parses) {
      EXPECT_EQ(h.iterations, 7u) << "left untouched";
    }
  }
}

TEST(PasswordHashValue, SameBytesComparesAll) {
  const unsigned char a[4] = {1, 2, 3, 4}, b[4] = {1, 2, 3, 5}, c[4] = {0, 2, 3, 4};
  EXPECT_TRUE(SameBytes(a, a, 4));
  EXPECT_FALSE(SameBytes(a, b, 4));
  EXPECT_FALSE(SameBytes(a, c, 4));
  EXPECT_TRUE(SameBytes(a, b, 3));
}

TEST(GuessDelay, WaitsDoubleFromTheThirdWrongEntry) {
  const struct {
    int wrong;
    uint32_t waitMs;
  } cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 1000}, {4, 2000}, {5, 4000}, {6, 8000},
               {7, 16000}, {8, 30000}, {9, 30000}, {40, 30000}, {1000, 30000}};
  for (const auto& c : cases) EXPECT_EQ(WaitAfterWrongEntries(c.wrong), c.waitMs) << c.wrong;
}

uint64_t g_fakeNow = 0;
uint64_t FakeClock() { return g_fakeNow; }

TEST(GuessDelay, LimiterHoldsEntriesUntilTheWaitIsOver) {
  g_fakeNow = 5000;
  GuessLimiter limiter(&FakeClock);
  EXPECT_EQ(limiter.RemainingMs(), 0u);
  limiter.NoteWrong();
  limiter.NoteWrong();
  EXPECT_EQ(limiter.RemainingMs(), 0u) << "two wrong entries are free";
  limiter.NoteWrong();
  EXPECT_EQ(limiter.RemainingMs(), 1000u);
  EXPECT_EQ(limiter.RemainingSeconds(), 1u);
  g_fakeNow += 999;
  EXPECT_EQ(limiter.RemainingMs(), 1u);
  EXPECT_EQ(limiter.RemainingSeconds(), 1u) << "rounded up";
  g_fakeNow += 1;
  EXPECT_EQ(limiter.RemainingMs(), 0u);
  limiter.NoteWrong();
  EXPECT_EQ(limiter.RemainingSeconds(), 2u);
  g_fakeNow += 2000;
  limiter.NoteWrong();
  EXPECT_EQ(limiter.RemainingMs(), 4000u);
  EXPECT_EQ(limiter.wrongInARow(), 5);
  limiter.NoteRight();
  EXPECT_EQ(limiter.RemainingMs(), 0u);
  EXPECT_EQ(limiter.wrongInARow(), 0);
  limiter.NoteWrong();
  EXPECT_EQ(limiter.RemainingMs(), 0u) << "a right entry starts the count afresh";
}

// Published PBKDF2-HMAC-SHA256 values.
TEST(PasswordCheck, DerivesTheKnownValues) {
  const struct {
    const char* password;
    const char* salt;
    unsigned iterations;
    const char* key;
  } cases[] = {
      {"password", "salt", 1, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
      {"password", "salt", 2, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
      {"password", "salt", 4096, "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
  };
  for (const auto& c : cases) {
    unsigned char out[32] = {};
    ASSERT_TRUE(DerivePasswordKey(c.password, strlen(c.password),
                                  reinterpret_cast<const unsigned char*>(c.salt), strlen(c.salt),
                                  c.iterations, out, sizeof out));
    EXPECT_EQ(Hex(out, sizeof out), c.key) << c.iterations;
  }
}

TEST(PasswordCheck, NewValuesMatchOnlyTheirPassword) {
  std::string a, b;
  ASSERT_TRUE(MakePasswordValue("Secret1", 7, &a));
  ASSERT_TRUE(MakePasswordValue("Secret1", 7, &b));
  EXPECT_NE(a, b) << "a fresh salt each time";
  EXPECT_EQ(a.find("Secret1"), std::string::npos);
  EXPECT_EQ(MatchStoredPassword("Secret1", a.c_str()), PasswordMatch::kHash);
  EXPECT_EQ(MatchStoredPassword("Secret1", b.c_str()), PasswordMatch::kHash);
  for (const char* wrong : {"secret1", "Secret", "Secret12", ""})
    EXPECT_EQ(MatchStoredPassword(wrong, a.c_str()), PasswordMatch::kNo) << wrong;
  EXPECT_EQ(MatchStoredPassword(a.c_str(), a.c_str()), PasswordMatch::kNo) << "the value itself is no password";
  std::string empty;
  ASSERT_TRUE(MakePasswordValue("", 0, &empty));
  EXPECT_EQ(MatchStoredPassword("", empty.c_str()), PasswordMatch::kHash);
  EXPECT_EQ(MatchStoredPassword("x", empty.c_str()), PasswordMatch::kNo);
  // Values from older files, compared as they are.
  EXPECT_EQ(MatchStoredPassword("480273", "480273"), PasswordMatch::kPlain);
  EXPECT_EQ(MatchStoredPassword("48027", "480273"), PasswordMatch::kNo);
  EXPECT_EQ(MatchStoredPassword("$pbkdf2-sha256$x", "$pbkdf2-sha256$x"), PasswordMatch::kPlain);
}

class StoredPasswordTest : public SettingsFilesTest {
 protected:
  static std::string Decoded(const std::string& path) {
    std::string buf(kSettingsCapacity, '\0');
    EXPECT_TRUE(ReadSettingsFileOnly(path.c_str(), &buf[0], buf.size())) << path;
    return buf.c_str();
  }
  static std::string PasswordLine(const std::string& text) {
    char v[kValueSize] = {};
    return FindSettingsValue(text.c_str(), kKeyPassword, v, sizeof v) ? v : "(none)";
  }
  static std::string With(const std::string& password, const char* flag) {
    return std::string("Enable log:") + flag + "\r\nPassword:" + password + "\r\nLog save time:3\r\n";
  }
};

// An older file: a plain password passes as before and is then stored as
// its hash in both files, the other lines kept; from then on only the
// password itself passes.
TEST_F(StoredPasswordTest, APlainPasswordIsConvertedAtItsFirstCheck) {
  const struct {
    const char* what;
    std::string password;
    bool backupSound;
  } cases[] = {
      {"factory", "480273", true},
      {"own", "\xBC\xD2\xB3\xA4pw", true},
      {"empty", "", true},
      {"backup damaged", "qwz", false},  // not hex: the stored hash must not contain it by chance
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Clear();
    StoreMain(With(c.password, "1"));
    if (c.backupSound) {
      StoreBackup(With(c.password, "0"));
    } else {
      ASSERT_TRUE(WriteFileBytes(BackupPath(), "damaged backup"));
    }
    EXPECT_FALSE(CheckPassword((c.password + "x").c_str()));
    EXPECT_EQ(PasswordLine(Decoded(MainPath())), c.password) << "a wrong entry converts nothing";
    ASSERT_TRUE(CheckPassword(c.password.c_str()));
    const std::string mainText = Decoded(MainPath()), backupText = Decoded(BackupPath());
    const std::string value = PasswordLine(mainText);
    PasswordHash h;
    ASSERT_TRUE(ParsePasswordHash(value.data(), value.size(), &h)) << "the main file holds a hash";
    EXPECT_EQ(h.iterations, kPasswordHashIterations);
    EXPECT_EQ(PasswordLine(backupText), value) << "and the backup the same";
    EXPECT_EQ(mainText, With(value, "1"));
    EXPECT_EQ(backupText, With(value, c.backupSound ? "0" : "1"));
    if (!c.password.empty()) {
      for (const std::string& t : {mainText, backupText}) EXPECT_EQ(t.find(c.password), std::string::npos);
    }
    EXPECT_TRUE(CheckPassword(c.password.c_str()));
    EXPECT_FALSE(CheckPassword(value.c_str()));
    EXPECT_EQ(Decoded(MainPath()), mainText) << "a hash is not stored again";
  }
}

TEST_F(StoredPasswordTest, NothingReadableLetsOnlyTheFactoryPasswordIn) {
  EXPECT_TRUE(CheckPassword("480273"));
  EXPECT_FALSE(CheckPassword(""));
  EXPECT_FALSE(FileIsThere(MainPath())) << "nothing to convert, nothing written";
  EXPECT_TRUE(CheckOldPassword("")) << "the page counts a missing password as empty";
  EXPECT_FALSE(CheckOldPassword("480273"));
}

TEST_F(StoredPasswordTest, SetPasswordStoresAHashInTheMainFileAlone) {
  StoreMain(With("old", "1"));
  StoreBackup(With("old", "1"));
  ASSERT_TRUE(SetPassword("\xD0\xC2new"));
  const std::string value = PasswordLine(Decoded(MainPath()));
  EXPECT_EQ(value.compare(0, strlen(kPasswordHashMarker), kPasswordHashMarker), 0);
  EXPECT_EQ(Decoded(MainPath()), With(value, "1"));
  EXPECT_EQ(PasswordLine(Decoded(BackupPath())), "old");
  EXPECT_TRUE(CheckOldPassword("\xD0\xC2new"));
  EXPECT_FALSE(CheckOldPassword("old"));
  EXPECT_TRUE(CheckPassword("\xD0\xC2new"));
}

}  // namespace
