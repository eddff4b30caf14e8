// The settings file and its backup on disk: main file "nf.cfg" in the system
// directory, backup "drivers\spinf.sys" below it. Each call works on the
// whole file; nothing is cached.
#pragma once
#include <cstddef>

#include "settings/settingstext.h"

// The two paths, built from the system directory at every call. False when
// the system directory is unknown or the path does not fit in kPathSize.
bool GetMainSettingsPath(char path[kPathSize]);
bool GetBackupSettingsPath(char path[kPathSize]);

// Scrambles, seals and writes text. False when the file cannot be created,
// or when the text could not be read back (too long, or a checksum that does
// not fit its eight characters); then the file on disk is left as it was.
// The file is replaced as a whole: the new bytes go to a temporary file in
// the same folder, are flushed, and the temporary takes the file's place, so
// a reader sees either the old or the new file and a cut-off write leaves the
// old one. When a reader keeps the file open past a few retries, it is
// rewritten in place instead. Returns only after the bytes are on disk, so a
// caller that writes the main file first and then the backup always keeps
// one sound copy.
bool WriteSettingsFile(const char* path, const char* text);

// The same for raw bytes, which are stored unchanged.
bool ReplaceFileBytes(const char* path, const char* bytes, size_t n);

// For tests: after this many more bytes written by the store (all files
// together), every further write fails, as after a power cut. Negative: no
// limit (the default).
void SetWriteCutAfterBytes(long long bytes);

// Reads and verifies a settings file into buf (capacity bytes; callers pass
// kSettingsCapacity). On a checksum mismatch the backup is copied over the
// main file once (as a whole, like a write) and the read is tried again.
bool ReadSettingsFile(const char* path, char* buf, size_t capacity);

// The same read and check without any restore, for reading the backup.
bool ReadSettingsFileOnly(const char* path, char* buf, size_t capacity);

bool FileExists(const char* path);

// Removes the main file and the backup; failures are ignored.
void DeleteSettingsFiles();
