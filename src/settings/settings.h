// The settings record: one accessor per setting. Each reads and verifies the
// whole main file anew; an unreadable file gives false, 0 or nothing.
#pragma once
#include <cstddef>

#include "settings/settingsfile.h"
#include "settings/settingstext.h"

// Fills password (kValueSize bytes) with the stored password, cut to 255
// bytes. False, buffer untouched, when the file or the key is missing.
bool GetPassword(char password[kValueSize]);

// The stored password, or the factory password when it cannot be read, so a
// full save never writes an empty one.
void GetPasswordForSave(char password[kValueSize]);

// Replaces the password in the main file only, stored as its hash
// (passwordcheck.h). False when nothing was written: file unreadable, no
// "Password:" line, no hash to be had, or a password with CR or LF in it or
// longer than 255 bytes.
bool SetPassword(const char* newPassword);

bool IsLogEnabled();
int GetLogSaveDays();
bool IsAdultFilterEnabled();
int GetAdultFilterDegree();
bool IsFlashFilterEnabled();
bool IsPopupFilterEnabled();
bool IsWebVideoFilterEnabled();
bool IsProgramFilterEnabled();
bool IsProgramAllowList();
bool IsTimeLimitEnabled();

// key is one of kTimeKeys. Always sets the three numbers (0 when not found).
bool GetDayTime(const char* key, int& hour, int& minute, int& second);

// Whether "Talk limit name:" followed by exeName occurs in the text.
bool IsTalkToolLimited(const char* exeName);

// Inserts every "program name:" of the text into g_chosenPrograms.
void LoadListedProgramNames();

// At start-up: restores a missing main file from the backup, or creates the
// default file (main and backup) and tells the user the initial password.
void EnsureSettingsFile();

// Directory of the running program, with its trailing backslash, into a
// zero-filled kPathSize buffer; left as it was when there is no backslash.
bool GetProgramDirectory(char dir[kPathSize]);
// The same followed by "unins000.exe"; left as it was when it does not fit.
bool GetUninstallerPath(char path[kPathSize]);
