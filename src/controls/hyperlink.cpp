#include "controls/hyperlink.h"

std::string HyperlinkErrorText(int) { return {}; }
bool BuildBrowserCommandLine(const char*, const char*, char* out, size_t cap) {
  if (cap) out[0] = '\0';
  return false;
}
CHyperlink::CHyperlink() {}
CHyperlink::~CHyperlink() {}
void CHyperlink::SetLinkTarget(const char* t) { m_strURL = t ? t : ""; }
void CHyperlink::SetUnderlineMode(int mode) { m_nUnderline = mode; }
void CHyperlink::MarkVisited(bool v) { m_bVisited = v; }
INT_PTR CHyperlink::OpenLink(const char*, int) { return 0; }
BOOL CHyperlink::PreTranslateMessage(MSG*) { return FALSE; }
LRESULT CHyperlink::WindowProc(UINT m, WPARAM w, LPARAM l) { return CStatic::WindowProc(m, w, l); }
BOOL CHyperlink::OnChildNotify(UINT m, WPARAM w, LPARAM l, LRESULT* r) { return CStatic::OnChildNotify(m, w, l, r); }
void CHyperlink::PreSubclassWindow() {}
bool CHyperlink::ReadClassesRootValue(const char*, std::string*) { return false; }
void CHyperlink::ReportError(int) {}
void CHyperlink::FitToText() {}
void CHyperlink::LoadLinkCursor() {}
