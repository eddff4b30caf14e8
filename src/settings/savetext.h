// The text of a full save, built from plain values. The window code gathers
// the values from the pages' controls; this file knows no window.
#pragma once
#include <string>
#include <vector>

#include "settings/settingstext.h"

class CNameTable;

// Chat programs in the order their lines are written, with the box of the
// chat tool page that selects each.
struct ChatTool {
  int boxId;
  const char* caption;  // GBK
  const char* exeNames[2];  // second may be null
};
constexpr int kChatToolCount = 7;
extern const ChatTool kChatTools[kChatToolCount];

struct ProgramEntry {
  std::string name;
  std::string path;
};

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct SaveValues {
  std::string password;       // GetPasswordForSave
  bool logEnabled = false;
  std::string logSaveTime;    // the combo box's text as shown
  bool adultFilter = false;
  int adultDegree = 0;        // 1 high, 2 medium, 3 low, 0 none checked
  bool flashFilter = false;
  bool popupFilter = false;
  bool videoFilter = false;
  bool programFilter = false;
  bool programAllowList = false;  // "Program filter type:" 1 unless "forbidden" is checked
  std::vector<ProgramEntry> programs;  // checked and known, in list order
  bool chatChecked[kChatToolCount] = {};  // in kChatTools order
  bool timeLimit = false;
  TimeOfDay times[kTimeKeyCount];  // in kTimeKeys order
  std::string installDate;    // GetLocalTimeText, ends in LF
};

// The whole settings text, line by line in the order of a full save. It may
// exceed what the file can hold; WriteSettingsFile refuses such a text.
std::string BuildSettingsText(const SaveValues& values);

// Checked list names looked up in the installed-program table, in the given
// order; names the table does not know are left out. Names are cut to 255 bytes.
std::vector<ProgramEntry> ResolveCheckedPrograms(const std::vector<std::string>& checkedNames,
                                                 const CNameTable& installed);

constexpr size_t kTimeTextSize = 26;  // 25 characters and the NUL
struct tm;
// asctime form "Www Mmm dd hh:mm:ss yyyy\n" with a zero-padded day.
void FormatTimeText(const struct tm& t, char buf[kTimeTextSize]);
// The current local time in that form.
void GetLocalTimeText(char buf[kTimeTextSize]);
