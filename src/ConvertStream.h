#ifndef PIXSTREAM_CONVERTSTREAM_H
#define PIXSTREAM_CONVERTSTREAM_H

#include "Pipeline.h"

#include <cstdint>

// The program's read loop: writes the header byte to output, then reads
// whatever input has, converts all of it and writes the result before it
// reads again, so no output waits for more input. Returns the exit status:
// 0 at the end of input; 1 after a failed read or write, reported in one
// line on standard error once everything produced before it was written.
int convertStream(Pipeline& pipeline, std::uint8_t header, int input, int output);

#endif
