// A library planted under a system library's name in a folder that a bare
// name would search. Its marker export tells the tests it was loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int MossgravePlantedMarker() { return 1; }

extern "C" __declspec(dllexport) int WINAPI WSCWriteProviderOrder(DWORD*, DWORD) { return 0; }
