// Copies of the test library mgplanted.dll under other libraries' names,
// beside the test executable and in the current folder (made a fresh
// temporary folder for the time): the folders a load by bare name searches.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "testutil.h"

class PlantedLibraries {
 public:
  explicit PlantedLibraries(const std::vector<std::string>& names);
  ~PlantedLibraries();
  PlantedLibraries(const PlantedLibraries&) = delete;
  PlantedLibraries& operator=(const PlantedLibraries&) = delete;

  // Every copy was made.
  bool ok() const { return m_ok; }
  // Some copy is loaded in this process.
  bool AnyLoaded() const;
  // The module that holds address was loaded from the system directory.
  static bool FromSystemDirectory(const void* address);

 private:
  std::unique_ptr<TempDir> m_dir;
  std::vector<std::string> m_copies;
  std::string m_previousDir;
  bool m_ok = true;
};
