#include "provider/realcatalogue.h"

#include <cstring>
#include <vector>

#include "framework/systemlibrary.h"

namespace {

typedef int(WSPAPI* WriteProviderOrderFn)(LPDWORD, DWORD);
typedef int(WSPAPI* EnumProtocolsFn)(LPINT, LPWSAPROTOCOL_INFOW, LPDWORD, LPINT);
typedef int(WSPAPI* InstallProviderFn)(LPGUID, const WCHAR*, const LPWSAPROTOCOL_INFOW, DWORD, LPINT);
typedef int(WSPAPI* DeinstallProviderFn)(LPGUID, LPINT);

template <typename Fn>
Fn As(FARPROC p) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

// The calls that reach the 32-bit catalogue exist only in 64-bit Windows'
// ws2_32 (the order call in the provider-order library on some systems),
// so they are looked up at run time and older systems still start.
struct Wow32Calls {
  EnumProtocolsFn enumProtocols = nullptr;
  InstallProviderFn installBoth = nullptr;  // WSCInstallProvider64_32
  InstallProviderFn update = nullptr;
  DeinstallProviderFn deinstall = nullptr;
  WriteProviderOrderFn writeOrder = nullptr;

  Wow32Calls() {
    if (HMODULE ws2 = LoadSystemLibrary("ws2_32.dll")) {
      enumProtocols = As<EnumProtocolsFn>(GetProcAddress(ws2, "WSCEnumProtocols32"));
      installBoth = As<InstallProviderFn>(GetProcAddress(ws2, "WSCInstallProvider64_32"));
      update = As<InstallProviderFn>(GetProcAddress(ws2, "WSCUpdateProvider32"));
      deinstall = As<DeinstallProviderFn>(GetProcAddress(ws2, "WSCDeinstallProvider32"));
    }
    writeOrder = As<WriteProviderOrderFn>(FindProviderOrderFunction("WSCWriteProviderOrder32"));
  }
  // Without a way to order or remove there, nothing is put there.
  bool complete() const { return enumProtocols && installBoth && deinstall && writeOrder; }
};

const Wow32Calls& GetWow32Calls() {
  static const Wow32Calls calls;
  return calls;
}

WriteProviderOrderFn LookUpWriteProviderOrder() {
  static WriteProviderOrderFn fn = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    fn = As<WriteProviderOrderFn>(FindProviderOrderFunction("WSCWriteProviderOrder"));
  }
  return fn;
}

int Unsupported(int* error) {
  *error = WSAEOPNOTSUPP;
  return SOCKET_ERROR;
}

}  // namespace

// mingw-w64 has no import library for sporder.dll, and newer systems export
// the order functions from ws2_32 itself, so they are looked up by name.
FARPROC FindProviderOrderFunction(const char* name) {
  const char* modules[] = {"sporder.dll", "ws2_32.dll"};
  for (const char* module : modules) {
    HMODULE library = LoadSystemLibrary(module);
    if (!library) continue;
    if (FARPROC fn = GetProcAddress(library, name)) return fn;
    FreeLibrary(library);
  }
  return nullptr;
}

bool CRealCatalogue::HasWow32Catalogue() {
  char dir[MAX_PATH];
  // Fails on 32-bit Windows, which has one catalogue only.
  if (GetSystemWow64DirectoryA(dir, MAX_PATH) == 0) return false;
  return GetWow32Calls().complete();
}

bool CRealCatalogue::HasLibrary(CatalogueKind kind, const char* fileName) {
  char path[MAX_PATH];
  const UINT n = kind == kWow32Catalogue ? GetSystemWow64DirectoryA(path, MAX_PATH)
                                         : GetSystemDirectoryA(path, MAX_PATH);
  const size_t length = std::strlen(fileName);
  if (n == 0 || n + 1 + length >= MAX_PATH) return false;
  path[n] = '\\';
  std::memcpy(path + n + 1, fileName, length + 1);
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CRealCatalogue::EnumProtocols(CatalogueKind kind, WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength,
                                  int* error) {
  if (kind == kNativeCatalogue) return WSCEnumProtocols(nullptr, buffer, bufferLength, error);
  EnumProtocolsFn fn = GetWow32Calls().enumProtocols;
  return fn ? fn(nullptr, buffer, bufferLength, error) : Unsupported(error);
}

int CRealCatalogue::InstallProvider(bool bothCatalogues, const GUID& providerId, const wchar_t* path,
                                    const WSAPROTOCOL_INFOW* records, DWORD count, int* error) {
  GUID id = providerId;
  // The platform's prototypes are not const-correct; they do not write the records.
  WSAPROTOCOL_INFOW* list = const_cast<WSAPROTOCOL_INFOW*>(records);
  if (!bothCatalogues) return WSCInstallProvider(&id, path, list, count, error);
  InstallProviderFn fn = GetWow32Calls().installBoth;
  return fn ? fn(&id, path, list, count, error) : Unsupported(error);
}

int CRealCatalogue::UpdateProvider32(const GUID& providerId, const wchar_t* path,
                                     const WSAPROTOCOL_INFOW* records, DWORD count, int* error) {
  GUID id = providerId;
  InstallProviderFn fn = GetWow32Calls().update;
  return fn ? fn(&id, path, const_cast<WSAPROTOCOL_INFOW*>(records), count, error) : Unsupported(error);
}

int CRealCatalogue::WriteProviderOrder(CatalogueKind kind, const DWORD* ids, DWORD count) {
  WriteProviderOrderFn fn = kind == kNativeCatalogue ? LookUpWriteProviderOrder() : GetWow32Calls().writeOrder;
  if (!fn) return ERROR_PROC_NOT_FOUND;
  std::vector<DWORD> copy(ids, ids + count);
  return fn(copy.data(), count);
}

int CRealCatalogue::DeinstallProvider(CatalogueKind kind, const GUID& providerId, int* error) {
  GUID id = providerId;
  if (kind == kNativeCatalogue) return WSCDeinstallProvider(&id, error);
  DeinstallProviderFn fn = GetWow32Calls().deinstall;
  return fn ? fn(&id, error) : Unsupported(error);
}
