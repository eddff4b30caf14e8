#include "plantedlibrary.h"

#include <cctype>

namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  const size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

PlantedLibraries::PlantedLibraries(const std::vector<std::string>& names) : m_dir(new TempDir) {
  const std::string source = ExeFolder() + "\\mgplanted.dll";
  char current[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, current);
  m_previousDir = current;
  for (const std::string& name : names) {
    for (const std::string& folder : {ExeFolder(), m_dir->path()}) {
      const std::string copy = folder + "\\" + name;
      if (::CopyFileA(source.c_str(), copy.c_str(), TRUE))
        m_copies.push_back(copy);
      else
        m_ok = false;
    }
  }
  if (!::SetCurrentDirectoryA(m_dir->path().c_str())) m_ok = false;
}

PlantedLibraries::~PlantedLibraries() {
  ::SetCurrentDirectoryA(m_previousDir.c_str());
  for (const std::string& copy : m_copies) {
    for (int i = 0; i < 16; ++i) {  // as often as it was loaded
      HMODULE loaded = ::GetModuleHandleA(copy.c_str());
      if (!loaded) break;
      ::FreeLibrary(loaded);
    }
    ::DeleteFileA(copy.c_str());
  }
}

bool PlantedLibraries::AnyLoaded() const {
  for (const std::string& copy : m_copies)
    if (::GetModuleHandleA(copy.c_str())) return true;
  return false;
}

bool PlantedLibraries::FromSystemDirectory(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const char*>(address), &module))
    return false;
  char path[MAX_PATH] = {}, system[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(module, path, MAX_PATH);
  const UINT s = ::GetSystemDirectoryA(system, MAX_PATH);
  if (n == 0 || s == 0) return false;
  const std::string file = Lower(std::string(path, n));
  const std::string folder = Lower(std::string(system, s)) + "\\";
  return file.compare(0, folder.size(), folder) == 0 && file.find('\\', folder.size()) == std::string::npos;
}
