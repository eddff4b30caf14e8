#include "settings/savetext.h"

#include <cstdio>
#include <ctime>

#include "settings/nametable.h"

const ChatTool kChatTools[kChatToolCount] = {
    {1022, "ICQ", {"icq.exe", "icqlite.exe"}},
    {1054, "腾讯QQ", {"qq.exe", nullptr}},
    {1053, "MSN Messenger", {"msmsgs.exe", nullptr}},
    {1055, "Skype(语音聊天)", {"skype.exe", nullptr}},
    {1058, "AOL Instant Messenger", {"aim.exe", nullptr}},
    {1059, "新浪UC", {"sinauc.exe", nullptr}},
    {1057, "Google Talk", {"googletalk.exe", nullptr}},
};

std::string BuildSettingsText(const SaveValues& v) {
  std::string t;
  auto line = [&t](const char* key, const std::string& value) {
    t += key;
    t += value;
    t += "\r\n";
  };
  auto flag = [](bool b) { return std::string(b ? "1" : "0"); };

  line(kKeyPassword, v.password);
  line(kKeyEnableLog, flag(v.logEnabled));
  line(kKeyLogSaveTime, v.logSaveTime);
  line(kKeyEnableAdultFilter, flag(v.adultFilter));
  line(kKeyAdultFilterDegree, std::to_string(v.adultDegree));
  line(kKeyFlashFilter, flag(v.flashFilter));
  line(kKeyPopupFilter, flag(v.popupFilter));
  line(kKeyWebVideoFilter, flag(v.videoFilter));
  line(kKeyEnableProgramFilter, flag(v.programFilter));
  line(kKeyProgramFilterType, flag(v.programAllowList));
  line(kKeyProgramList, "");
  for (const ProgramEntry& p : v.programs) {
    line(kKeyProgramName, p.name);
    line(kKeyProgramPath, p.path);
  }
  for (int i = 0; i < kChatToolCount; ++i) {
    if (!v.chatChecked[i]) continue;
    for (const char* exe : kChatTools[i].exeNames)
      if (exe) line(kKeyTalkLimitName, exe);
  }
  line(kKeyEnableTimeLimit, flag(v.timeLimit));
  for (int i = 0; i < kTimeKeyCount; ++i) {
    char hms[48];
    snprintf(hms, sizeof hms, "%02d:%02d:%02d", v.times[i].hour, v.times[i].minute,
             v.times[i].second);
    line(kTimeKeys[i], hms);
  }
  line(kKeyInstallDate, v.installDate);
  return t;
}

std::vector<ProgramEntry> ResolveCheckedPrograms(const std::vector<std::string>& checkedNames,
                                                 const CNameTable& installed) {
  std::vector<ProgramEntry> out;
  for (const std::string& full : checkedNames) {
    const std::string name = full.substr(0, kValueSize - 1);
    void* path = nullptr;
    if (!installed.Lookup(name.c_str(), &path)) continue;
    out.push_back({name, path ? static_cast<const char*>(path) : ""});
  }
  return out;
}

void FormatTimeText(const struct tm& t, char buf[kTimeTextSize]) {
  static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int wday = t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0;
  const int mon = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
  snprintf(buf, kTimeTextSize, "%s %s %02d %02d:%02d:%02d %04d\n", kDays[wday], kMonths[mon],
           t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
}

void GetLocalTimeText(char buf[kTimeTextSize]) {
  time_t now = time(nullptr);
  struct tm local = {};
  const struct tm* p = localtime(&now);
  if (p) local = *p;
  FormatTimeText(local, buf);
}
