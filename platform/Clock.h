#pragma once
// The one way the program asks for the time or sleeps, so tests can drive time.
#include <cstdint>

#include "platform/DateTime.h"

class IClock {
 public:
  virtual ~IClock() = default;
  // Local wall-clock time, for stamps that are stored or shown.
  virtual TDateTime Now() = 0;
  // Monotonic milliseconds, for intervals and time-outs.
  virtual int64_t SteadyMs() = 0;
  virtual void SleepMs(int ms) = 0;
};

// The real clock of the machine.
IClock& SystemClock();
