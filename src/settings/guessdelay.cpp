#include "settings/guessdelay.h"

#include <chrono>

namespace {
uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

uint32_t WaitAfterWrongEntries(int wrongInARow) {
  if (wrongInARow <= kFreeWrongEntries) return 0;
  const int doublings = wrongInARow - kFreeWrongEntries - 1;
  if (doublings >= 5) return kLongestWaitMs;  // 32 s would be past the longest
  const uint32_t wait = kFirstWaitMs << doublings;
  return wait < kLongestWaitMs ? wait : kLongestWaitMs;
}

GuessLimiter::GuessLimiter() : m_clock(&SteadyMs) {}
GuessLimiter::GuessLimiter(Clock clock) : m_clock(clock) {}

uint64_t GuessLimiter::RemainingMs() const {
  const uint64_t now = m_clock();
  return now < m_until ? m_until - now : 0;
}

uint32_t GuessLimiter::RemainingSeconds() const {
  return static_cast<uint32_t>((RemainingMs() + 999) / 1000);
}

void GuessLimiter::NoteWrong() {
  if (m_wrong < 1000) ++m_wrong;  // far past the longest wait; no overflow
  m_until = m_clock() + WaitAfterWrongEntries(m_wrong);
}

void GuessLimiter::NoteRight() {
  m_wrong = 0;
  m_until = 0;
}
