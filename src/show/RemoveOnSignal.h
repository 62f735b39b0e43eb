#ifndef PIXSTREAM_SHOW_REMOVEONSIGNAL_H
#define PIXSTREAM_SHOW_REMOVEONSIGNAL_H

// Removes an unfinished picture when the program is ended by SIGINT, SIGTERM
// or SIGHUP (Ctrl-C, kill, a closed terminal), then ends by the same signal,
// so the caller still sees what ended it. Other signals keep their
// disposition; SIGPIPE in particular stays as it came. A signal the caller
// ignored stays ignored, as nohup expects.
//
// guard(path) from the moment the file is created; keep() once it is
// complete, or removed. path must outlive the guard (argv does).
class RemoveOnSignal {
public:
    static void guard(const char* path);
    static void keep();
};

#endif
