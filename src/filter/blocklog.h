// The block log: one line per block in a daily file, files older than the
// keep time deleted. Formats and decides; the file operations are callbacks
// (or <cstdio> when none are given). Never holds a password, a path of a
// request or page content: only time, program, reason and host or address.
#pragma once
#include <string>
#include <vector>

#include "filter/engine.h"

namespace qv {

class BlockLog {
 public:
  // The log folder under %ProgramData%, which every user may write.
  static constexpr const char* kFolderUnderProgramData = "Mossgrave\\log";
  // "2026-12-11 08:01:02\tC:\...\qq.exe\tchat\t93.184.216.34:443"
  static std::string FormatLine(const LocalTime& t, const char* programPath, const Verdict& v,
                                const Address& remote);
  // "mossgrave-20261211.log"
  static std::string FileName(const LocalTime& t);
  // The date of a log file name; false for any other name.
  static bool ParseFileName(const std::string& name, int* year, int* month, int* day);
  // The names among those given that are older than keepDays (today counts
  // as one day kept; fewer than 1 day reads as the default 3).
  static std::vector<std::string> Expired(const std::vector<std::string>& names, const LocalTime& today,
                                          int keepDays);
  // Days since 1970-01-01 of a civil date.
  static long DaysFromCivil(int year, int month, int day);

  // Deletes from folder the files among names (its listing, which the
  // caller makes) that Expired picks; only names of this log's form are
  // ever removed. removeFile is <cstdio> remove() when null and answers
  // true on success. Answers how many files were deleted.
  using RemoveFile = bool (*)(const std::string& path);
  static int DeleteExpired(const std::string& folder, const std::vector<std::string>& names,
                           const LocalTime& today, int keepDays, RemoveFile removeFile = nullptr);

  // Appends one line to the day's file in folder; with <cstdio>.
  static bool Append(const std::string& folder, const LocalTime& t, const std::string& line);
};

}  // namespace qv
