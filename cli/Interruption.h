#pragma once

#include <signal.h>

#include <array>
#include <atomic>

namespace varnetto::cli {

// Ctrl+C, a terminal that hangs up and a polite kill all let running images
// finish (their temporary files are then renamed or removed) and start no
// new one: while an InterruptGuard lives they only set interrupted.
extern std::atomic<bool> interrupted;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

}  // namespace varnetto::cli
