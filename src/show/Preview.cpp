#include "Preview.h"

#include "FramePacer.h"
#include "Messages.h"
#include "RawIo.h"
#include "TerminalView.h"

#include <cstdint>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file is there already, so it plays at its own rate; a pipe's frames are
// paced by whoever writes them.
bool playsAtItsRate(int input, int output) {
    struct stat in {};
    return isatty(output) == 1 && fstat(input, &in) == 0 && S_ISREG(in.st_mode);
}

} // namespace

int preview(int input, int output, const ShowOptions& options) {
    bool failed = false;
    std::uint8_t fps = 0;
    if (readFull(input, &fps, 1, failed) == 0) {
        return failed ? failure("read error") : complaint("empty stream: no header byte");
    }
    FramePacer pacer(playsAtItsRate(input, output) ? fps : 0);
    TerminalView view(output, options.scale);
    std::vector<std::uint8_t> frame(3 * options.leds);
    for (;;) {
        const std::size_t got = readFull(input, frame.data(), frame.size(), failed);
        if (got >= 3) {
            pacer.wait();
            if (!view.draw(frame.data(), got / 3)) {
                return failure("write error");
            }
        }
        if (failed) {
            return failure("read error");
        }
        if (got < frame.size()) {
            return got % 3 == 0 ? 0 : droppedBytes(got % 3);
        }
    }
}
