// Small helpers shared by the tests.
#pragma once
#include <string>

// A fresh, empty folder for one test; removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);          // empty when missing
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileIsThere(const std::string& path);
