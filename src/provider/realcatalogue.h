// The platform's Winsock catalogue (ws2_32, and sporder for the order).
#pragma once
#include "provider/icatalogue.h"

class CRealCatalogue : public ICatalogue {
 public:
  int EnumProtocols(WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength, int* error) override;
  int InstallProvider(const GUID& providerId, const wchar_t* path,
                      const WSAPROTOCOL_INFOW* records, DWORD count, int* error) override;
  int WriteProviderOrder(const DWORD* ids, DWORD count) override;
  int DeinstallProvider(const GUID& providerId, int* error) override;
};

// The named function of the provider-order library, or of ws2_32 where the
// system has none; both from the system directory. The library stays loaded.
FARPROC FindProviderOrderFunction(const char* name);
