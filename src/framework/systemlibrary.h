// Libraries loaded at run time by file name come from the system directory
// only: the program runs elevated, so a file of that name planted in its own
// folder or in the current folder must never be run.
#pragma once
#include <windows.h>

// name is a bare file name ("sporder.dll"); anything with a folder part is
// refused. Null, with the system's error, when the library is not there.
// Uses the system-directory search where the system has it (the same
// systems that have AddDllDirectory), else the full path.
HMODULE LoadSystemLibrary(const char* name);

// The full-path way on its own, for systems without that search.
HMODULE LoadSystemLibraryByPath(const char* name);
