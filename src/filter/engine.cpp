#include "filter/engine.h"

#include <atomic>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "filter/filterlists.h"
#include "filter/protocols.h"
#include "filter/textnorm.h"
#include "settings/listedprograms.h"
#include "settings/settingstext.h"

namespace qv {

const char* ReasonName(Reason reason) {
  switch (reason) {
    case Reason::kNone: return "none";
    case Reason::kTime: return "time";
    case Reason::kProgram: return "program";
    case Reason::kChat: return "chat";
    case Reason::kAdult: return "adult";
    case Reason::kPopup: return "popup";
    case Reason::kFlash: return "flash";
    case Reason::kVideo: return "video";
  }
  return "none";
}

struct Engine::Rules {
  bool timeLimit = false;
  int start[7] = {}, end[7] = {};  // seconds of the day, Monday first
  bool programFilter = false;
  bool allowList = false;
  StringTable programs;
  std::vector<std::string> chatNames;  // lower case
  bool adult = false;
  int adultLimit = kAdultScoreHigh;  // 0: banned list only
  bool popup = false, flash = false, video = false;
  bool log = false;
  int logKeepDays = 0;
  std::string windowsPrefix;   // normalised, ending in '\'
  std::string controlProgram;  // normalised
  std::string (*longPath)(const std::string&) = nullptr;
  std::shared_ptr<const FilterLists> lists;

  bool ContentFilters() const { return adult || popup || flash || video; }

  // What these rules say of one program, worked out at its first decision:
  // the library asks for the same executable on every call, and normalising
  // and looking up its path costs more than the rest of a decision. Keyed
  // on the raw bytes, not the pointer, so a caller that reuses a buffer
  // still gets its own path's answer.
  struct ProgramAnswer {
    std::string raw;
    bool control = false;          // the control program: always allowed
    Reason reason = Reason::kNone;  // kProgram or kChat when those rules block it
  };
  ProgramAnswer Judge(const char* raw, size_t rawLen) const;
  // Answers are published once into a free slot and never changed; a
  // program beyond the slots is judged at each decision.
  static constexpr size_t kProgramSlots = 8;
  mutable std::atomic<const ProgramAnswer*> answers[kProgramSlots] = {};
  ~Rules() {
    for (auto& a : answers) delete a.load();
  }
};

Engine::Engine() : rules_(new Rules) {}
Engine::~Engine() = default;

namespace {

std::string Normalized(const std::string& path) {
  std::string out;
  NormalizePath(path.data(), path.size(), &out);
  return out;
}

// The value of key, or "" when the key or its line end is missing.
std::string Value(const char* text, const char* key) {
  char value[kValueSize] = {};
  if (!FindSettingsValue(text, key, value, sizeof value)) return std::string();
  return value;
}

bool Flag(const char* text, const char* key) { return ReadFlagValue(Value(text, key).c_str()); }

int SecondsOfDay(const char* text, const char* key) {
  int h = 0, m = 0, s = 0;
  ReadTimeValue(Value(text, key).c_str(), h, m, s);  // a missing key reads 00:00:00
  return h * 3600 + m * 60 + s;
}

void AddProgram(StringTable* table, const std::string& path) {
  const std::string n = Normalized(path);
  if (!n.empty()) table->Insert(HashBytes(n.data(), n.size()), n.data(), n.size(), 1);
}

// Every "Talk limit name:" value in the text, to its line end or the end of
// the text (the control program asks for the key and name anywhere).
std::vector<std::string> ChatNames(const char* text) {
  std::vector<std::string> names;
  const size_t keyLen = strlen(kKeyTalkLimitName);
  for (const char* at = strstr(text, kKeyTalkLimitName); at; at = strstr(at, kKeyTalkLimitName)) {
    at += keyLen;
    const char* end = strstr(at, "\r\n");
    size_t len = end ? static_cast<size_t>(end - at) : strlen(at);
    if (len > kValueSize - 1) len = kValueSize - 1;
    std::string name = Normalized(std::string(at, len));
    name = name.substr(FileNameStart(name.data(), name.size()));
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

// text with every var (compared without case) replaced by with.
std::string ReplaceNoCase(const std::string& text, const char* var, const char* with) {
  const size_t n = strlen(var);
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    bool match = text.size() - i >= n;
    for (size_t k = 0; match && k < n; ++k) match = AsciiLower(text[i + k]) == AsciiLower(var[k]);
    if (match) {
      out += with;
      i += n;
    } else {
      out += text[i++];
    }
  }
  return out;
}

bool IsLoopback(const Address& a) {
  if (a.family == 4) return a.bytes[0] == 127;
  if (a.family == 6) {
    static const uint8_t kOne[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (memcmp(a.bytes, kOne, 16) == 0) return true;
    return memcmp(a.bytes, kMapped, 12) == 0 && a.bytes[12] == 127;
  }
  return false;
}

bool InWindow(int t, int start, int end) {
  if (start <= end) return t >= start && t <= end;
  return t >= start || t <= end;  // crosses midnight
}

// Extension of the last path segment, lower case, without the dot.
bool PathHasExtension(const Span& path, const char* const* exts) {
  size_t dot = path.length;
  for (size_t i = path.length; i > 0; --i) {
    const char c = path.data[i - 1];
    if (c == '/') break;
    if (c == '.') {
      dot = i - 1;
      break;
    }
  }
  if (dot == path.length) return false;
  const Span ext{path.data + dot + 1, path.length - dot - 1};
  for (const char* const* e = exts; *e; ++e)
    if (SpanEqualsNoCase(ext, *e)) return true;
  return false;
}

const char* const kFlashExtensions[] = {"swf", "spl", nullptr};
const char* const kMediaExtensions[] = {
    "flv", "f4v", "mp4", "m4v", "m4s", "m4a", "mov", "webm", "mkv", "avi", "wmv", "asf", "asx", "rm",
    "rmvb", "ram", "3gp", "mpg", "mpeg", "ts", "m3u8", "m3u", "mpd", "pls", "mp3", "aac", "ogg",
    "oga", "ogv", "opus", "wav", "wma", "flac", "mid", "midi", nullptr};

bool IsFlashType(const Span& t) {
  return SpanEqualsNoCase(t, "application/x-shockwave-flash") || SpanEqualsNoCase(t, "application/futuresplash");
}

bool IsMediaType(const Span& t) {
  return SpanStartsNoCase(t, "video/") || SpanStartsNoCase(t, "audio/") ||
         SpanEqualsNoCase(t, "application/vnd.apple.mpegurl") || SpanEqualsNoCase(t, "application/x-mpegurl") ||
         SpanEqualsNoCase(t, "application/dash+xml") || SpanEqualsNoCase(t, "application/vnd.ms-sstr+xml") ||
         SpanEqualsNoCase(t, "application/vnd.rn-realmedia");
}

// Whether the NUL-ended path equals raw (which holds no NUL); reads path
// no further than its end or the first byte that differs.
bool SamePath(const std::string& raw, const char* path) {
  const char* r = raw.c_str();
  size_t i = 0;
  while (r[i] && r[i] == path[i]) ++i;
  return r[i] == '\0' && path[i] == '\0';
}

// Whether n bytes at a and b are equal, 8 at a time; the last word ends
// at the end and may overlap the one before.
bool SameBytes(const char* a, const char* b, size_t n) {
  if (n < 8) return memcmp(a, b, n) == 0;
  for (size_t i = 0;; i += 8) {
    const size_t at = i + 8 <= n ? i : n - 8;
    uint64_t x, y;
    memcpy(&x, a + at, 8);
    memcpy(&y, b + at, 8);
    if (x != y) return false;
    if (at + 8 == n) return true;
  }
}

}  // namespace

void Engine::SetLists(std::shared_ptr<const FilterLists> lists) {
  lists_ = std::move(lists);
  listsGiven_ = lists_ != nullptr;
  rules_->lists = lists_;
}

void Engine::Load(const char* text, const Environment& env) {
  std::unique_ptr<Rules> r(new Rules);
  r->longPath = env.longPath;
  if (!env.windowsDirectory.empty()) {
    r->windowsPrefix = Normalized(env.windowsDirectory);
    if (r->windowsPrefix.empty() || r->windowsPrefix.back() != '\\') r->windowsPrefix += '\\';
  }
  if (!env.controlProgram.empty()) r->controlProgram = Normalized(env.controlProgram);

  if (!listsGiven_ && (!lists_ || listFolder_ != env.listDirectory)) {
    auto lists = std::make_shared<FilterLists>();
    lists->AddBuiltin();
    lists->AddDirectory(env.listDirectory);
    lists->Finish();
    lists_ = std::move(lists);
    listFolder_ = env.listDirectory;
  }
  r->lists = lists_;

  if (text && *text) {
    r->timeLimit = Flag(text, kKeyEnableTimeLimit);
    for (int d = 0; d < 7; ++d) {
      r->start[d] = SecondsOfDay(text, kTimeKeys[2 * d]);
      r->end[d] = SecondsOfDay(text, kTimeKeys[2 * d + 1]);
    }
    r->programFilter = Flag(text, kKeyEnableProgramFilter);
    r->allowList = Flag(text, kKeyProgramFilterType);
    if (r->programFilter) {
      for (const ProgramEntry& e : ParseListedPrograms(text)) {
        std::vector<std::string> forms{e.path};
        if (env.expand && e.path.find('%') != std::string::npos) {
          // A 32-bit host expands %ProgramFiles% to the x86 folder, while the
          // 64-bit scan meant its own: both forms are listed.
          std::string wide = ReplaceNoCase(e.path, "%ProgramFiles%", "%ProgramW6432%");
          wide = ReplaceNoCase(wide, "%CommonProgramFiles%", "%CommonProgramW6432%");
          forms[0] = env.expand(e.path);
          if (wide != e.path) {
            wide = env.expand(wide);
            if (wide.find("%ProgramW6432%") == std::string::npos &&
                wide.find("%CommonProgramW6432%") == std::string::npos)
              forms.push_back(wide);
          }
        }
        for (const std::string& path : forms) {
          AddProgram(&r->programs, path);
          if (env.longPath) AddProgram(&r->programs, env.longPath(path));
        }
      }
    }
    r->chatNames = ChatNames(text);
    r->adult = Flag(text, kKeyEnableAdultFilter);
    switch (ReadDigitValue(Value(text, kKeyAdultFilterDegree).c_str())) {
      case 2: r->adultLimit = kAdultScoreMedium; break;
      case 3: r->adultLimit = 0; break;
      default: r->adultLimit = kAdultScoreHigh; break;  // 1, and 0 for none chosen
    }
    r->popup = Flag(text, kKeyPopupFilter);
    r->flash = Flag(text, kKeyFlashFilter);
    r->video = Flag(text, kKeyWebVideoFilter);
    r->log = Flag(text, kKeyEnableLog);
    r->logKeepDays = ParseLeadingInt(Value(text, kKeyLogSaveTime).c_str());
  }
  rules_ = std::move(r);
}

bool Engine::LogEnabled() const { return rules_ && rules_->log; }
int Engine::LogKeepDays() const { return rules_ ? rules_->logKeepDays : 0; }

Engine::Rules::ProgramAnswer Engine::Rules::Judge(const char* raw, size_t rawLen) const {
  ProgramAnswer a;
  a.raw.assign(raw, rawLen);
  std::string prog;
  std::string longForm;
  if (longPath && memchr(raw, '~', rawLen)) longForm = longPath(a.raw);
  if (!longForm.empty()) NormalizePath(longForm.data(), longForm.size(), &prog);
  else NormalizePath(raw, rawLen, &prog);
  if (!controlProgram.empty() && prog == controlProgram) {
    a.control = true;
    return a;
  }
  const bool system = !windowsPrefix.empty() && prog.size() > windowsPrefix.size() &&
                      prog.compare(0, windowsPrefix.size(), windowsPrefix) == 0;
  if (programFilter && !system) {
    const bool listed = programs.Find(HashBytes(prog.data(), prog.size()), prog.data(), prog.size()) != 0;
    if (listed != allowList) {
      a.reason = Reason::kProgram;
      return a;
    }
  }
  const size_t nameAt = FileNameStart(prog.data(), prog.size());
  for (const std::string& name : chatNames)
    if (prog.compare(nameAt, std::string::npos, name) == 0) {
      a.reason = Reason::kChat;
      return a;
    }
  return a;
}

Verdict Engine::Decide(const Context& c) const {
  Verdict v;
  const Rules& r = *rules_;
  if (IsLoopback(c.remote)) return v;

  const Rules::ProgramAnswer* program = nullptr;
  Rules::ProgramAnswer judged;
  if (c.programPath && *c.programPath) {
    const size_t known = c.programPathLength;
    for (auto& slot : r.answers) {
      const Rules::ProgramAnswer* a = slot.load(std::memory_order_acquire);
      if (!a) break;
      if (known ? a->raw.size() == known && SameBytes(a->raw.data(), c.programPath, known)
                : SamePath(a->raw, c.programPath)) {
        program = a;
        break;
      }
    }
    if (!program) {
      // A length past a NUL is taken only to the NUL: a cached path never holds one.
      const void* nul = known ? memchr(c.programPath, 0, known) : nullptr;
      const size_t rawLen = !known ? strlen(c.programPath)
                            : nul  ? static_cast<size_t>(static_cast<const char*>(nul) - c.programPath)
                                   : known;
      std::unique_ptr<Rules::ProgramAnswer> fresh(new Rules::ProgramAnswer(r.Judge(c.programPath, rawLen)));
      program = fresh.get();
      for (auto& slot : r.answers) {
        const Rules::ProgramAnswer* expected = nullptr;
        if (slot.compare_exchange_strong(expected, fresh.get(), std::memory_order_acq_rel)) {
          fresh.release();
          break;
        }
        if (expected->raw == fresh->raw) {  // another thread was first
          program = expected;
          break;
        }
      }
      if (fresh && program == fresh.get()) {  // no free slot: keep it for this call only
        judged = std::move(*fresh);
        program = &judged;
      }
    }
    if (program->control) return v;
  }

  // Every exit returns v itself, so that the verdict is built in place
  // rather than copied.
  auto block = [&v](Reason why) {
    v.block = true;
    v.reason = why;
  };

  if (r.timeLimit) {
    const int day = ((c.now.weekday % 7) + 7 + 6) % 7;  // Sunday 0 -> index 6
    const int t = c.now.hour * 3600 + c.now.minute * 60 + c.now.second;
    if (!InWindow(t, r.start[day], r.end[day])) { block(Reason::kTime); return v; }
  }

  if (program && program->reason != Reason::kNone) { block(program->reason); return v; }

  if (!r.ContentFilters() || !c.data || c.dataLength == 0 || !r.lists) return v;
  const uint8_t* data = c.data;
  const size_t n = c.dataLength < kMaxInspectBytes ? c.dataLength : kMaxInspectBytes;

  static_assert(HostName::kCapacity == kMaxHostLength && HostName::kPadding == kHashPadding,
                "the verdict holds any host name, padded for hashing");
  // The parsers write the name into the verdict, which keeps it padded.
  char* host = v.host.buffer();
  size_t hostLen = 0;
  // The request record is made only for HTTP: clearing it costs as much as
  // a short host's lookup.
  static_assert(std::is_trivially_destructible<HttpRequest>::value, "the record is never destroyed");
  alignas(HttpRequest) unsigned char httpSpace[sizeof(HttpRequest)];
  HttpRequest* http = nullptr;
  if (c.remote.port == 53 && c.protocol != Protocol::kRaw) {
    hostLen = ParseDnsQueryName(data, n, c.protocol == Protocol::kTcp, host);
  } else if (c.protocol == Protocol::kTcp) {
    if (data[0] == 22) {
      hostLen = ParseTlsServerName(data, n, host);
    } else if (ParseHttpRequest(data, n, http = new (httpSpace) HttpRequest())) {
      v.isHttp = true;
      hostLen = NormalizeHost(http->host.data, http->host.length, host);
    }
  }
  v.host.take(hostLen);
  // A name alone is judged through the cache of recent names; a request's
  // keywords count once across its host and path, so it is scanned whole.
  const bool scored = r.adult && r.adultLimit > 0;
  HostFacts facts;
  if (hostLen && !v.isHttp) facts = r.lists->HostFactsPadded(host, hostLen, scored);
  else if (hostLen) facts.bits = r.lists->HostBitsPadded(host, hostLen);
  const uint16_t bits = facts.bits;
  if (r.adult) {
    if (bits & kListAdult) { block(Reason::kAdult); return v; }
    if (scored) {
      int score = facts.score;
      if (v.isHttp) {
        KeywordMatcher::Seen seen;
        const KeywordMatcher& k = r.lists->keywords();
        k.ScanLower(host, hostLen, &seen);
        k.Scan(http->target.data, http->target.length, true, &seen);
        score = seen.score;
      }
      if (score >= r.adultLimit) { block(Reason::kAdult); return v; }
    }
  }
  if (r.popup && (bits & kListPopup)) { block(Reason::kPopup); return v; }
  if (r.flash && v.isHttp &&
      (PathHasExtension(http->path, kFlashExtensions) || IsFlashType(http->accept) || IsFlashType(http->contentType))) {
    block(Reason::kFlash);
    return v;
  }
  if (r.video) {
    if (bits & kListVideo) { block(Reason::kVideo); return v; }
    if (v.isHttp && (PathHasExtension(http->path, kMediaExtensions) || IsMediaType(http->accept) ||
                     IsMediaType(http->contentType))) {
      block(Reason::kVideo);
      return v;
    }
  }
  return v;
}

std::string Engine::BlockPage(const Verdict& verdict) {
  const char* why;
  switch (verdict.reason) {
    case Reason::kTime: why = "\xcf\xd6\xd4\xda\xb2\xbb\xca\xc7\xd4\xca\xd0\xed\xc9\xcf\xcd\xf8\xb5\xc4\xca\xb1\xbc\xe4"; break;
    case Reason::kProgram: why = "\xb4\xcb\xb3\xcc\xd0\xf2\xb2\xbb\xd4\xca\xd0\xed\xca\xb9\xd3\xc3\xcd\xf8\xc2\xe7"; break;
    case Reason::kChat: why = "\xc1\xc4\xcc\xec\xb9\xa4\xbe\xdf\xb2\xbb\xd4\xca\xd0\xed\xca\xb9\xd3\xc3\xcd\xf8\xc2\xe7"; break;
    case Reason::kAdult: why = "\xbb\xc6\xc9\xab\xc4\xda\xc8\xdd\xcd\xf8\xd2\xb3"; break;
    case Reason::kPopup: why = "\xb5\xaf\xb3\xf6\xb4\xb0\xbf\xda\xbb\xf2\xb9\xe3\xb8\xe6"; break;
    case Reason::kFlash: why = "Flash(\xb6\xaf\xbb\xad)"; break;
    case Reason::kVideo: why = "\xd4\xda\xcf\xdf\xca\xd3\xd2\xf4\xc6\xb5"; break;
    default: why = "\xbc\xd2\xb3\xa4\xb5\xc4\xc9\xe8\xd6\xc3"; break;
  }
  // The host came from the network: only the bytes a host name may hold go
  // into the page, so no markup can.
  std::string host;
  for (char ch : verdict.host) {
    const char c = AsciiLower(ch);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_') host += c;
  }
  if (host.size() > kMaxHostLength) host.resize(kMaxHostLength);

  std::string body =
      "<!DOCTYPE html>\r\n<html><head><meta charset=\"gbk\"><title>"
      "\xcd\xf8\xd2\xb3\xd2\xd1\xb1\xbb\xd7\xe8\xd6\xb9"  // page blocked
      "</title></head>\r\n<body style=\"font-family:sans-serif;margin:3em\">\r\n<h1>"
      "\xb4\xcb\xcd\xf8\xd2\xb3\xd2\xd1\xb1\xbb\xd7\xe8\xd6\xb9"  // this page is blocked
      "</h1>\r\n<p>"
      "\xbc\xd2\xb3\xa4\xb5\xc4\xc9\xcf\xcd\xf8\xc9\xe8\xd6\xc3\xb2\xbb\xd4\xca\xd0\xed\xb4\xf2\xbf\xaa"
      "\xb4\xcb\xcd\xf8\xd2\xb3\xa1\xa3"  // the parent's settings do not allow it
      "</p>\r\n<p>"
      "\xd4\xad\xd2\xf2\xa3\xba";  // reason:
  body += why;
  body += "</p>\r\n";
  if (!host.empty()) {
    body += "<p>\xcd\xf8\xd6\xb7\xa3\xba";  // address:
    body += host;
    body += "</p>\r\n";
  }
  body += "</body></html>\r\n";

  std::string page =
      "HTTP/1.1 403 Forbidden\r\n"
      "Content-Type: text/html; charset=GBK\r\n"
      "Cache-Control: no-store\r\n"
      "Connection: close\r\n"
      "Content-Length: ";
  page += std::to_string(body.size());
  page += "\r\n\r\n";
  page += body;
  return page;
}

}  // namespace qv
