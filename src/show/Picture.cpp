#include "Picture.h"

#include "Messages.h"
#include "PngRowWriter.h"
#include "RawIo.h"
#include "RemoveOnSignal.h"
#include "Rgb.h"
#include "Spool.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How a drawing ended: its exit status, and whether the file holds a
// picture worth keeping.
struct Outcome {
    int status;
    bool keep;
};

int pngFailure(const PngRowWriter& writer) {
    std::fprintf(stderr, "pixstream-show: PNG write error: %s\n", writer.message());
    return 1;
}

// Expands a frame of LEDs in wire order into a row of scale x scale squares,
// red first; LEDs past `leds` stay black.
void expand(const std::uint8_t* frame, std::size_t leds, std::size_t scale, std::vector<std::uint8_t>& row) {
    std::memset(row.data(), 0, row.size());
    std::uint8_t* pixel = row.data();
    for (std::size_t i = 0; i < leds; ++i) {
        const Rgb colour = Rgb::fromWire(frame + 3 * i);
        for (std::size_t k = 0; k < scale; ++k) {
            *pixel++ = colour.red;
            *pixel++ = colour.green;
            *pixel++ = colour.blue;
        }
    }
}

Outcome draw(int input, int output, const ShowOptions& options) {
    Spool spool(input);
    std::uint64_t bytes = 0;
    if (!spool.fill(bytes) || !spool.rewind()) {
        return {1, false};
    }
    if (bytes == 0) {
        return {complaint("empty stream: no header byte"), false};
    }
    const std::uint64_t leds = (bytes - 1) / 3;
    const std::size_t dropped = static_cast<std::size_t>((bytes - 1) % 3);
    const std::uint64_t frames = (leds + options.leds - 1) / options.leds;
    if (frames == 0) {
        if (dropped != 0) {
            droppedBytes(dropped);
        }
        return {complaint("no whole LED in the stream, so no picture"), false};
    }
    if (frames > 0x7fffffffu / options.scale) {
        return {complaint("too many frames for one PNG: it holds at most 2147483647 rows"), false};
    }

    PngRowWriter writer(output);
    const auto width = static_cast<std::uint32_t>(options.leds * options.scale);
    if (!writer.start(width, static_cast<std::uint32_t>(frames * options.scale))) {
        return {pngFailure(writer), false};
    }
    std::vector<std::uint8_t> frame(3 * options.leds);
    std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(width));
    bool failed = false;
    std::uint8_t header = 0;
    readFull(spool.fd(), &header, 1, failed);
    std::uint64_t left = leds;
    for (std::uint64_t f = 0; f < frames && !failed; ++f) {
        const std::size_t want = left < options.leds ? static_cast<std::size_t>(left) : options.leds;
        if (readFull(spool.fd(), frame.data(), 3 * want, failed) != 3 * want) {
            break;
        }
        left -= want;
        expand(frame.data(), want, options.scale, row);
        for (std::size_t k = 0; k < options.scale; ++k) {
            if (!writer.writeRow(row.data())) {
                return {pngFailure(writer), false};
            }
        }
    }
    if (failed) {
        return {failure("read error"), false};
    }
    if (left != 0) {
        return {complaint("the input changed while it was read"), false};
    }
    if (!writer.finish()) {
        return {pngFailure(writer), false};
    }
    return {dropped != 0 ? droppedBytes(dropped) : 0, true};
}

} // namespace

int drawPicture(int input, const ShowOptions& options) {
    const bool toStdout = std::strcmp(options.png, "-") == 0;
    // Truncated only once it is known not to be the input itself, which
    // O_TRUNC would empty before a byte of it was read.
    const int output = toStdout ? STDOUT_FILENO : open(options.png, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (output < 0) {
        std::fprintf(stderr, "pixstream-show: cannot write %s: %s\n", options.png, std::strerror(errno));
        return 1;
    }
    // Only a regular file is removed after a failure: a device or a pipe
    // named on the command line is not the program's to delete.
    struct stat out {};
    struct stat in {};
    const bool removable = !toStdout && fstat(output, &out) == 0 && S_ISREG(out.st_mode);
    if (removable && fstat(input, &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
        close(output);
        std::fprintf(stderr, "pixstream-show: %s is the standard input; it is left as it was\n", options.png);
        return 1;
    }
    if (removable) {
        RemoveOnSignal::guard(options.png);
        if (ftruncate(output, 0) != 0) {
            std::fprintf(stderr, "pixstream-show: cannot write %s: %s\n", options.png, std::strerror(errno));
            close(output);
            return 1;
        }
    }
    Outcome outcome = draw(input, output, options);
    // close reports a write the file system deferred, on NFS for one.
    if (!toStdout && close(output) != 0 && outcome.keep) {
        outcome = {failure("PNG write error"), false};
    }
    if (!outcome.keep && removable) {
        unlink(options.png);
    }
    RemoveOnSignal::keep();
    return outcome.status;
}
