#include "RemoveOnSignal.h"

#include <csignal>

#include <unistd.h>

namespace {

// What the handler reads: a signal handler can reach nothing else. guarded
// is stored before armed is set, and both are volatile, so the handler never
// sees armed with a stale path.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): shared with the handler
volatile std::sig_atomic_t armed = 0;
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): shared with the handler
const char* volatile guarded = nullptr;

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// unlink, signal and raise are async-signal-safe.
void onSignal(int signal) {
    if (armed != 0) {
        unlink(guarded);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void RemoveOnSignal::guard(const char* path) {
    guarded = path;
    armed = 1;
    for (const int signal : endingSignals) {
        struct sigaction now {};
        if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) {
            struct sigaction handler {};
            handler.sa_handler = onSignal;
            sigemptyset(&handler.sa_mask);
            sigaction(signal, &handler, nullptr);
        }
    }
}

void RemoveOnSignal::keep() { armed = 0; }
