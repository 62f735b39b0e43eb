#ifndef PIXSTREAM_SHOW_SPOOL_H
#define PIXSTREAM_SHOW_SPOOL_H

#include <cstdint>

// Standard input as something to read twice, for a PNG, whose header gives
// the height before the first row: once to count the frames, then again to
// draw them, in constant memory however long the stream.
//
// A regular file is read twice where it is. Anything else (a pipe, a
// terminal, a socket) is copied on the first pass into a temporary file in
// $TMPDIR, or /tmp, that is unlinked as soon as it is made, so it takes disk
// space only while the program runs and is gone however the program ends.
//
// Calling order: fill once, then rewind, then read from fd().
class Spool {
public:
    explicit Spool(int fd) : input(fd) {}
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // Reads the input to its end; bytes is how many it had. False after a
    // failure, reported in one line on standard error.
    bool fill(std::uint64_t& bytes);

    // Goes back to where the input started; false after a failure, reported.
    bool rewind() const;

    // Where the second pass reads.
    int fd() const { return copy >= 0 ? copy : input; }

private:
    bool makeCopy();

    int input;
    int copy = -1;
    std::int64_t start = 0;
};

#endif
