#include "filter/blocklog.h"

#include <cstdio>

namespace qv {

namespace {
// Only printable bytes, so a line stays one line.
void AppendClean(std::string* out, const char* s, size_t max) {
  for (size_t i = 0; s[i] && i < max; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    out->push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
  }
}
}  // namespace

std::string BlockLog::FormatLine(const LocalTime& t, const char* programPath, const Verdict& v,
                                 const Address& remote) {
  char when[64];
  snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d\t", t.year, t.month, t.day, t.hour, t.minute,
           t.second);
  std::string line = when;
  AppendClean(&line, programPath ? programPath : "", 1024);
  line += '\t';
  line += ReasonName(v.reason);
  line += '\t';
  if (!v.host.empty()) {
    AppendClean(&line, v.host.c_str(), 253);
  } else if (remote.family == 4) {
    char a[32];
    snprintf(a, sizeof a, "%u.%u.%u.%u:%u", remote.bytes[0], remote.bytes[1], remote.bytes[2], remote.bytes[3],
             remote.port);
    line += a;
  } else if (remote.family == 6) {
    char a[64];
    line += '[';
    for (int i = 0; i < 16; i += 2) {
      snprintf(a, sizeof a, i ? ":%x" : "%x", (remote.bytes[i] << 8) | remote.bytes[i + 1]);
      line += a;
    }
    snprintf(a, sizeof a, "]:%u", remote.port);
    line += a;
  }
  line += "\r\n";
  return line;
}

std::string BlockLog::FileName(const LocalTime& t) {
  char name[64];
  snprintf(name, sizeof name, "mossgrave-%04d%02d%02d.log", t.year, t.month, t.day);
  return name;
}

bool BlockLog::ParseFileName(const std::string& name, int* year, int* month, int* day) {
  if (name.size() != 22 || name.compare(0, 10, "mossgrave-") != 0 || name.compare(18, 4, ".log") != 0)
    return false;
  int v[8];
  for (int i = 0; i < 8; ++i) {
    const char c = name[10 + i];
    if (c < '0' || c > '9') return false;
    v[i] = c - '0';
  }
  *year = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  *month = v[4] * 10 + v[5];
  *day = v[6] * 10 + v[7];
  return *month >= 1 && *month <= 12 && *day >= 1 && *day <= 31;
}

long BlockLog::DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::vector<std::string> BlockLog::Expired(const std::vector<std::string>& names, const LocalTime& today,
                                           int keepDays) {
  if (keepDays < 1) keepDays = 3;
  const long now = DaysFromCivil(today.year, today.month, today.day);
  std::vector<std::string> out;
  for (const std::string& n : names) {
    int y, m, d;
    if (!ParseFileName(n, &y, &m, &d)) continue;  // not ours: never deleted
    if (now - DaysFromCivil(y, m, d) >= keepDays) out.push_back(n);
  }
  return out;
}

namespace {
std::string InFolder(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path + name;
}

bool RemoveWithStdio(const std::string& path) { return remove(path.c_str()) == 0; }
}  // namespace

int BlockLog::DeleteExpired(const std::string& folder, const std::vector<std::string>& names,
                            const LocalTime& today, int keepDays, RemoveFile removeFile) {
  if (!removeFile) removeFile = RemoveWithStdio;
  int deleted = 0;
  for (const std::string& name : Expired(names, today, keepDays))
    if (removeFile(InFolder(folder, name))) ++deleted;
  return deleted;
}

// Many processes append to the same file: the file is opened per line in
// append mode with a buffer that holds the whole line, so each line reaches
// the system as one write at the file's end and lines of different
// processes do not mix. The C runtime moves to the end before each write
// rather than atomically, so two writes at the very same moment could still
// overlap; for a log that is accepted, a lock across processes is not.
bool BlockLog::Append(const std::string& folder, const LocalTime& t, const std::string& line) {
  const std::string path = InFolder(folder, FileName(t));
  FILE* f = fopen(path.c_str(), "ab");
  if (!f) return false;
  setvbuf(f, nullptr, _IOFBF, line.size() + 1);
  const bool ok = fwrite(line.data(), 1, line.size(), f) == line.size();
  return fclose(f) == 0 && ok;
}

}  // namespace qv
