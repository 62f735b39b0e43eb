#ifndef PIXSTREAM_SHOW_PICTURE_H
#define PIXSTREAM_SHOW_PICTURE_H

#include "ShowOptions.h"

// The stream on input as a PNG in options.png: one row per frame, each LED
// options.scale x options.scale pixels, a last, shorter frame padded black.
// The input is read twice (Spool) so that the height is known before the
// first row, and the rows go out one by one (PngRowWriter).
//
// Returns the exit status: 0; 1 after a failed read or write, an empty
// stream, a stream without one whole LED, or bytes left over inside an LED.
// In the last case the picture of the whole LEDs is kept; in every other the
// file is removed, if it is a regular file, so no partial picture is left.
int drawPicture(int input, const ShowOptions& options);

#endif
