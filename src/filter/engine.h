// The filter's decisions: plain C++ over plain data, no Windows headers, so
// that it builds natively (fuzzing, sanitizers) and inside Quorvane.dll.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace qv {

class FilterLists;

enum class Protocol { kTcp, kUdp, kRaw };

enum class Reason { kNone, kTime, kProgram, kChat, kAdult, kPopup, kFlash, kVideo };

// Short ASCII name of a reason for logs and tests ("time", "program", ...).
const char* ReasonName(Reason reason);

struct Address {
  int family = 0;          // 4 or 6; 0 unknown
  uint8_t bytes[16] = {};  // network order; IPv4 in the first four
  uint16_t port = 0;       // host order
};

struct LocalTime {
  int weekday = 0;  // 0 Sunday .. 6 Saturday, as SYSTEMTIME.wDayOfWeek
  int hour = 0, minute = 0, second = 0;
  int year = 0, month = 0, day = 0;
};

// What the library knows of a connection or datagram when it asks.
struct Context {
  const char* programPath = nullptr;  // full path of the host's executable (ANSI)
  size_t programPathLength = 0;       // its length when the caller knows it; 0: the engine counts
  LocalTime now;
  Protocol protocol = Protocol::kTcp;
  Address remote;
  const uint8_t* data = nullptr;  // first outgoing bytes, may be null
  size_t dataLength = 0;          // the engine looks at most at kMaxInspectBytes
};

constexpr size_t kMaxInspectBytes = 16384;

// A host name kept in the verdict itself, so that a decision allocates
// nothing. Longer texts are cut at kCapacity bytes.
class HostName {
 public:
  static constexpr size_t kCapacity = 253;
  static constexpr size_t kPadding = 8;  // zero bytes after the name, for hashing in place
  HostName() { memset(text_, 0, kPadding); }
  HostName& operator=(const char* s) {
    assign(s, strlen(s));
    return *this;
  }
  void assign(const char* s, size_t n) {
    length_ = n < kCapacity ? n : kCapacity;
    memcpy(text_, s, length_);
    memset(text_ + length_, 0, kPadding);
  }
  void clear() { assign("", 0); }
  bool empty() const { return length_ == 0; }
  size_t size() const { return length_; }
  const char* c_str() const { return text_; }
  const char* begin() const { return text_; }
  const char* end() const { return text_ + length_; }
  std::string str() const { return std::string(text_, length_); }
  // A parser writes the name straight into buffer() (kCapacity + 1 bytes);
  // take(n) then sets its length, n at most kCapacity, and zeroes the padding.
  char* buffer() { return text_; }
  void take(size_t n) {
    length_ = n < kCapacity ? n : kCapacity;
    memset(text_ + length_, 0, kPadding);
  }
  bool operator==(const char* s) const { return strlen(s) == length_ && memcmp(s, text_, length_) == 0; }
  bool operator==(const std::string& s) const { return s.size() == length_ && memcmp(s.data(), text_, length_) == 0; }
  template <typename Stream>
  friend Stream& operator<<(Stream& out, const HostName& h) {
    out << h.c_str();
    return out;
  }

 private:
  size_t length_ = 0;
  char text_[kCapacity + kPadding];
};

struct Verdict {
  bool block = false;
  Reason reason = Reason::kNone;
  HostName host;  // host name seen (DNS, TLS server name, HTTP Host), may be empty
  bool isHttp = false;  // the data was a plain HTTP request: a 403 page may be sent
};

// What the engine needs of its surroundings, given once at load.
struct Environment {
  // Expands %VAR% references; the library passes ExpandEnvironmentStringsA.
  std::string (*expand)(const std::string& text) = nullptr;
  // Long form of a path where the platform knows it (GetLongPathNameA); may be null.
  std::string (*longPath)(const std::string& path) = nullptr;
  std::string windowsDirectory;  // e.g. "C:\\Windows"
  std::string controlProgram;    // full path of Mossgrave.exe, always allowed
  std::string listDirectory;     // folder of the list files, may be empty
};

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Builds the rules from a settings text (NUL-terminated, as unsealed).
  // An empty or null text means no restriction. The lists are read at the
  // first Load (built-in lists plus the files of env.listDirectory) and
  // kept for later ones with the same folder. The password is not kept.
  // Load must not run while another thread is in Decide: a library that
  // reloads builds a second Engine and swaps it in.
  void Load(const char* settingsText, const Environment& env);

  // Lists made elsewhere (tests, the bench, an engine before this one);
  // later Loads keep them.
  void SetLists(std::shared_ptr<const FilterLists> lists);
  std::shared_ptr<const FilterLists> Lists() const { return lists_; }

  // The decision for a new connection, a datagram, or the first bytes sent.
  // Safe to call from many threads at once.
  Verdict Decide(const Context& context) const;

  // "Enable log:" and "Log save time:" of the text loaded.
  bool LogEnabled() const;
  int LogKeepDays() const;

  // A short HTTP 403 answer with a Chinese (GBK) page naming the reason.
  static std::string BlockPage(const Verdict& verdict);

 private:
  struct Rules;
  std::unique_ptr<Rules> rules_;
  std::shared_ptr<const FilterLists> lists_;
  std::string listFolder_;
  bool listsGiven_ = false;
};

}  // namespace qv
