// The program's one message-box function. Boxes have no owner window and the
// caption "Halvenor". Tests install a hook that answers boxes by script.
#pragma once
#include <windows.h>
#include <functional>

extern const char kAppCaption[];  // "Halvenor"

// Shows text with the given MB_* flags and answers IDOK, IDCANCEL, ...
int AppMessageBox(const char* text, UINT type = MB_OK);

// The framework's own box for control errors (hyperlink): owner is the
// application's main window, caption the program's name.
int AfxMessageBox(const char* text, UINT type = MB_OK);

// A hook sees every box instead of the user; it answers for it.
using MessageBoxHook = std::function<int(const char* text, const char* caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);  // an empty hook restores real boxes
