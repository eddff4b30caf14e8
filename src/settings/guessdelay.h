// Slowing down password guessing: three wrong entries in a row are free,
// then each wrong entry is followed by a wait that doubles, up to 30 s.
// Pure logic with a clock that tests can replace.
#pragma once
#include <cstdint>

constexpr int kFreeWrongEntries = 2;  // the third wrong entry in a row is the first to cost
constexpr uint32_t kFirstWaitMs = 1000;
constexpr uint32_t kLongestWaitMs = 30000;

// The wait after the n-th wrong entry in a row: 0 for the first two, 1 s
// after the third, 2 s after the fourth, doubling up to kLongestWaitMs.
uint32_t WaitAfterWrongEntries(int wrongInARow);

class GuessLimiter {
 public:
  using Clock = uint64_t (*)();  // milliseconds, never going back
  GuessLimiter();                 // a steady clock
  explicit GuessLimiter(Clock clock);

  // Milliseconds until the next entry may be checked; 0 when it may now.
  uint64_t RemainingMs() const;
  // Whole seconds still to wait, rounded up, for showing.
  uint32_t RemainingSeconds() const;
  // An entry was checked and was wrong: the wait starts now.
  void NoteWrong();
  // A right entry: all is forgiven.
  void NoteRight();
  int wrongInARow() const { return m_wrong; }

 private:
  Clock m_clock;
  int m_wrong = 0;
  uint64_t m_until = 0;
};
