// A seam for a test host that plays ws2_32's part. The host hands the
// library the catalogue records of its chain and the overlapped-completion
// call; ws2_32 never calls this, so in a real process the library always asks
// the real catalogue.
#pragma once
#include <winsock2.h>
#include <ws2spi.h>

struct QuorvaneHooks {
  // The layered entry's catalogue id.
  DWORD layeredId;
  // Record and library path of a catalogue id: 0, or a Winsock error code.
  int(WINAPI* findProvider)(DWORD catalogId, WSAPROTOCOL_INFOW* info, WCHAR* path, int pathChars);
  // Stands in for ws2_32's WPUCompleteOverlappedRequest.
  LPWPUCOMPLETEOVERLAPPEDREQUEST completeOverlapped;
};

// Exported as "QuorvaneSetHooks": takes effect for WSPStartup calls after it.
typedef void(WINAPI* QuorvaneSetHooksFn)(const QuorvaneHooks* hooks);
// Exported as "QuorvaneCounts": live sockets and overlapped operations.
typedef void(WINAPI* QuorvaneCountsFn)(LONG* sockets, LONG* operations);
