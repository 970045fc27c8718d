#include "cli/Interruption.h"

namespace varnetto::cli {

std::atomic<bool> interrupted{false};

namespace {

extern "C" void onInterrupt(int) {
    interrupted = true;
}

}  // namespace

InterruptGuard::InterruptGuard() {
    interrupted = false;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    // Reads and writes the signal meets on any thread carry on.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptGuard::~InterruptGuard() {
    for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
}

}  // namespace varnetto::cli
