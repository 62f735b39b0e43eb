// pixstream-show: shows pixstream's output, the stream on standard input (a
// frame-rate byte, then three bytes per LED), as a picture or as a preview.
//
//   pixstream-show --leds N [--scale K] [--png FILE]
//
// The stream has no frame boundaries, so --leds says how many LEDs a frame
// has. With --png it writes a PNG, one row of N LEDs per frame; without, it
// draws each frame as a line of coloured cells on standard output as soon as
// the frame is complete. Bad use is status 2; a failed read or write, or a
// stream that is empty or ends inside an LED, one line on standard error and
// status 1. SIGPIPE is left as it comes, so a reader that goes away ends the
// program as it does any filter.

#include "Messages.h"
#include "Picture.h"
#include "Preview.h"
#include "RawIo.h"
#include "ShowOptions.h"

#include <cstring>

#include <unistd.h>

int main(int argc, char** argv) {
    ShowOptions options;
    if (!ShowOptions::parse(argc, argv, options)) {
        return 2;
    }
    if (options.help) {
        return writeAll(STDOUT_FILENO, showUsage, std::strlen(showUsage)) ? 0 : failure("write error");
    }
    if (options.png != nullptr) {
        return drawPicture(STDIN_FILENO, options);
    }
    return preview(STDIN_FILENO, STDOUT_FILENO, options);
}
