// The visible side of a GuessLimiter in one dialog: while a wait runs, the
// confirming button is disabled and a note shows the seconds left; a timer
// of the dialog brings the button back. The wait is enforced by MayCheck,
// which the dialog asks before it looks at an entry, so a command posted
// straight to the dialog gets nowhere either.
#pragma once
#include <windows.h>

#include "settings/guessdelay.h"

class CGuessWait {
 public:
  CGuessWait(GuessLimiter& limiter, UINT_PTR timerId) : m_limiter(limiter), m_timerId(timerId) {}

  void Attach(HWND dlg, int buttonId, int noteId);
  // False during a wait: the entry is then refused without being checked.
  bool MayCheck() const { return m_limiter.RemainingMs() == 0; }
  // After a checked entry: starts or ends the wait.
  void NoteWrong();
  void NoteRight();
  // The dialog's WM_TIMER; true when the timer was this one.
  bool OnTimer(UINT_PTR id);

 private:
  void Refresh();

  GuessLimiter& m_limiter;
  UINT_PTR m_timerId;
  HWND m_dlg = nullptr;
  int m_buttonId = 0;
  int m_noteId = 0;
  bool m_waiting = false;
};
