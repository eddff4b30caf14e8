// The platform's Winsock catalogues (ws2_32, and sporder for the order).
#pragma once
#include "provider/icatalogue.h"

class CRealCatalogue : public ICatalogue {
 public:
  bool HasWow32Catalogue() override;
  bool HasLibrary(CatalogueKind kind, const char* fileName) override;
  int EnumProtocols(CatalogueKind kind, WSAPROTOCOL_INFOW* buffer, DWORD* bufferLength,
                    int* error) override;
  int InstallProvider(bool bothCatalogues, const GUID& providerId, const wchar_t* path,
                      const WSAPROTOCOL_INFOW* records, DWORD count, int* error) override;
  int UpdateProvider32(const GUID& providerId, const wchar_t* path,
                       const WSAPROTOCOL_INFOW* records, DWORD count, int* error) override;
  int WriteProviderOrder(CatalogueKind kind, const DWORD* ids, DWORD count) override;
  int DeinstallProvider(CatalogueKind kind, const GUID& providerId, int* error) override;
};

// The named function of the provider-order library, or of ws2_32 where the
// system has none; both from the system directory. The library stays loaded.
FARPROC FindProviderOrderFunction(const char* name);
