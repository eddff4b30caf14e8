#include "framework/systemlibrary.h"

#include <cstring>

namespace {

bool IsBareName(const char* name) {
  return name && *name && !std::strpbrk(name, "\\/:");
}

// The flag is understood exactly where AddDllDirectory exists (Windows 8,
// or Vista and 7 with the loader update); elsewhere it is refused.
bool HasSystem32Search() {
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  return kernel && ::GetProcAddress(kernel, "AddDllDirectory");
}

}  // namespace

HMODULE LoadSystemLibraryByPath(const char* name) {
  if (!IsBareName(name)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  char path[MAX_PATH];
  const UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
  const size_t length = std::strlen(name);
  if (n == 0 || n + 1 + length >= MAX_PATH) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  path[n] = '\\';
  std::memcpy(path + n + 1, name, length + 1);
  // Its own dependencies are then looked for beside it first.
  return ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadSystemLibrary(const char* name) {
  if (!IsBareName(name)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (HasSystem32Search()) return ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return LoadSystemLibraryByPath(name);
}
