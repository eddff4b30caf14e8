#include "settings/listedprograms.h"

#include <cstring>
#include <string>

#include "settings/settingstext.h"

namespace {
bool StartsWith(const std::string& line, const char* key) { return line.compare(0, strlen(key), key) == 0; }
}  // namespace

std::vector<ProgramEntry> ParseListedPrograms(const char* text) {
  std::vector<std::string> lines;
  for (const char* p = text; *p;) {
    const char* end = strstr(p, "\r\n");
    if (!end) break;  // a line without its end is no line of the record
    lines.emplace_back(p, static_cast<size_t>(end - p));
    p = end + 2;
  }
  std::vector<ProgramEntry> out;
  const size_t nameKey = strlen(kKeyProgramName), pathKey = strlen(kKeyProgramPath);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (!StartsWith(lines[i], kKeyProgramName) || !StartsWith(lines[i + 1], kKeyProgramPath)) continue;
    ProgramEntry e;
    e.name = lines[i].substr(nameKey, kValueSize - 1);
    e.path = lines[i + 1].substr(pathKey, kPathSize - 1);
    out.push_back(std::move(e));
    ++i;
  }
  return out;
}
