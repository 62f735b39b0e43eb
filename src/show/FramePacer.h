#ifndef PIXSTREAM_SHOW_FRAMEPACER_H
#define PIXSTREAM_SHOW_FRAMEPACER_H

#include <cstdint>

// Holds frames to a frame rate: wait, called before each frame is drawn,
// returns at once for the first and then at the start time plus one period
// per frame, so time spent drawing is not added to the period. A rate of 0
// never waits. After falling more than a period behind (a slow terminal, a
// stopped job) it starts counting afresh instead of rushing to catch up.
class FramePacer {
public:
    explicit FramePacer(std::uint8_t fps) : period(fps == 0 ? 0 : second / fps) {}

    void wait();

private:
    static constexpr std::int64_t second = 1000000000; // in nanoseconds

    std::int64_t period;
    std::int64_t due = 0;
    bool started = false;
};

#endif
