#include "framework/msgbox.h"

const char kAppCaption[] = "Halvenor";

namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

int AppMessageBox(const char* text, UINT type) {
  if (Hook()) return Hook()(text, kAppCaption, type);
  return MessageBoxA(nullptr, text, kAppCaption, type);
}

int AfxMessageBox(const char* text, UINT type) {
  if (Hook()) return Hook()(text, kAppCaption, type);
  // Modal to the window the user is working in.
  return MessageBoxA(GetActiveWindow(), text, kAppCaption, type);
}
