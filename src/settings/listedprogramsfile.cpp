// The reading of the main file for the program list; the parsing itself
// needs no Windows and is in listedprograms.cpp.
#include <string>

#include "settings/listedprograms.h"
#include "settings/settingsfile.h"

std::vector<ProgramEntry> LoadListedPrograms() {
  char path[kPathSize] = {};
  if (!GetMainSettingsPath(path)) return {};
  std::string buf(kSettingsCapacity, '\0');
  if (!ReadSettingsFile(path, &buf[0], buf.size())) return {};
  return ParseListedPrograms(buf.c_str());
}
