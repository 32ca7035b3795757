#pragma once
// The program's fixed pauses (the closing 1000 ms pauses, the 50 ms polls)
// go through here, so that tests can run them quickly.

namespace platform {

// Sleeps ms milliseconds, divided by the divisor that tests may set.
void Pause(unsigned ms);

// ms as the pauses count it: ms / divisor (for timers that stand for a pause).
unsigned ScaledDuration(unsigned ms);

// Tests: every pause lasts ms / divisor (at least 0). 1 restores real time.
void SetPauseDivisor(unsigned divisor);

// Tests: called at the start of every pause with its unscaled length (to
// act while the program waits, or to throw into it); nullptr removes it.
using PauseHook = void (*)(unsigned ms);
void SetPauseHook(PauseHook hook);

// Milliseconds since an arbitrary start, for bounded waits (also scaled: a
// bound of 30000 ms lasts 30000 / divisor ms of real time).
unsigned long long ScaledTickCount();

}  // namespace platform
