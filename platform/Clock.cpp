#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace {

class TSystemClock final : public IClock {
 public:
  TDateTime Now() override { return dt::Now(); }
  int64_t SteadyMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void SleepMs(int ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

}  // namespace

IClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}
