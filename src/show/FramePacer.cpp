#include "FramePacer.h"

#include <cerrno>
#include <ctime>

namespace {

std::int64_t now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

void FramePacer::wait() {
    if (period == 0) {
        return;
    }
    const std::int64_t time = now();
    if (!started || time > due + period) {
        started = true;
        due = time;
    } else if (time < due) {
        // An absolute deadline, so a signal that cuts the sleep short costs
        // nothing but the retry.
        timespec until{static_cast<std::time_t>(due / second), static_cast<long>(due % second)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
    due += period;
}
