#include "provider/realcatalogue.h"

#include <vector>

#include "framework/systemlibrary.h"

namespace {

typedef int(WSPAPI* WriteProviderOrderFn)(LPDWORD, DWORD);

WriteProviderOrderFn LookUpWriteProviderOrder() {
  static WriteProviderOrderFn fn = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    fn = reinterpret_cast<WriteProviderOrderFn>(
        reinterpret_cast<void*>(FindProviderOrderFunction("WSCWriteProviderOrder")));
  }
  return fn;
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

int CRealCatalogue::EnumProtocols(WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength, int* error) {
  return WSCEnumProtocols(nullptr, buffer, bufferLength, error);
}

int CRealCatalogue::InstallProvider(const GUID& providerId, const wchar_t* path,
                                    const WSAPROTOCOL_INFOW* records, DWORD count, int* error) {
  GUID id = providerId;
  // The platform's prototype is not const-correct; it does not write the records.
  return WSCInstallProvider(&id, path, const_cast<WSAPROTOCOL_INFOW*>(records), count, error);
}

int CRealCatalogue::WriteProviderOrder(const DWORD* ids, DWORD count) {
  WriteProviderOrderFn fn = LookUpWriteProviderOrder();
  if (!fn) return ERROR_PROC_NOT_FOUND;
  std::vector<DWORD> copy(ids, ids + count);
  return fn(copy.data(), count);
}

int CRealCatalogue::DeinstallProvider(const GUID& providerId, int* error) {
  GUID id = providerId;
  return WSCDeinstallProvider(&id, error);
}
