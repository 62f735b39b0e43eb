#ifndef PIXSTREAM_SHOW_PREVIEW_H
#define PIXSTREAM_SHOW_PREVIEW_H

#include "ShowOptions.h"

// The live preview: reads pixstream's stream from input and draws each frame
// of options.leds LEDs on output (TerminalView) as soon as it is complete. A
// stream read from a regular file onto a terminal plays at the frame rate of
// its header byte; from a pipe, or into anything but a terminal, each frame is
// drawn as it comes. A last, shorter frame is drawn as far as it goes.
// Returns the exit status: 0; 1 after a failed read or write, an empty
// stream, or bytes left over inside an LED (the whole LEDs are drawn first).
int preview(int input, int output, const ShowOptions& options);

#endif
