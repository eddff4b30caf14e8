#include "app/guesswait.h"

#include <cstdio>

void CGuessWait::Attach(HWND dlg, int buttonId, int noteId) {
  m_dlg = dlg;
  m_buttonId = buttonId;
  m_noteId = noteId;
  Refresh();  // a wait begun in an earlier dialog still runs
}

void CGuessWait::NoteWrong() {
  m_limiter.NoteWrong();
  Refresh();
}

void CGuessWait::NoteRight() {
  m_limiter.NoteRight();
  Refresh();
}

bool CGuessWait::OnTimer(UINT_PTR id) {
  if (id != m_timerId) return false;
  Refresh();
  return true;
}

void CGuessWait::Refresh() {
  if (!m_dlg || !::IsWindow(m_dlg)) return;
  const uint32_t seconds = m_limiter.RemainingSeconds();
  char note[64] = "";
  if (seconds > 0) snprintf(note, sizeof note, "请等待%u秒后再试", static_cast<unsigned>(seconds));
  ::SetDlgItemTextA(m_dlg, m_noteId, note);
  const bool waiting = seconds > 0;
  if (waiting == m_waiting) return;
  m_waiting = waiting;
  HWND button = ::GetDlgItem(m_dlg, m_buttonId);
  // A disabled button with the focus would leave the keyboard nowhere.
  if (waiting && ::GetFocus() == button) ::SendMessageA(m_dlg, WM_NEXTDLGCTL, 1, FALSE);
  ::EnableWindow(button, !waiting);
  if (waiting) {
    ::SetTimer(m_dlg, m_timerId, 250, nullptr);
  } else {
    ::KillTimer(m_dlg, m_timerId);
  }
}
