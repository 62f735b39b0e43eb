// Stands in for a serial device: opens a pseudo-terminal, runs a shell command
// with the terminal's name in $TTY, and writes every byte that comes out of
// the terminal's other end to standard output, so a test can see what a
// device behind a serial port would receive. The terminal starts in the
// kernel's default modes, as a serial port does.
// Usage: pty_run COMMAND
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Copies what the terminal has to standard output until it has been quiet
// for the timeout; false on a failure.
bool drain(int master, int timeoutMs) {
    char buffer[4096];
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        const int n = poll(&ready, 1, timeoutMs);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got < 0) {
            return errno == EINTR || errno == EAGAIN;
        }
        if (got == 0 || write(STDOUT_FILENO, buffer, static_cast<size_t>(got)) != got) {
            return got == 0;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: pty_run COMMAND\n", stderr);
        return 2;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    const char* device =
        master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
    if (device == nullptr || setenv("TTY", device, 1) != 0) {
        std::perror("pty_run: pseudo-terminal");
        return 2;
    }
    // Held open for the whole run, as a serial port's device always is, so
    // that this side never sees the terminal hang up between the command's
    // programs.
    const int held = open(device, O_RDWR | O_NOCTTY);
    if (held < 0) {
        std::perror(device);
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("pty_run: fork");
        return 2;
    }
    if (child == 0) {
        close(master);
        close(held);
        execl("/bin/sh", "sh", "-c", argv[1], static_cast<char*>(nullptr));
        _exit(127);
    }
    // Read while the command runs, so that a full terminal never blocks it.
    int status = 0;
    bool drained = true;
    pid_t waited = 0;
    while ((waited = waitpid(child, &status, WNOHANG)) == 0 || (waited < 0 && errno == EINTR)) {
        drained = drain(master, 20) && drained;
    }
    if (waited < 0) {
        std::perror("pty_run: waitpid");
        return 2;
    }
    // The kernel hands written bytes to this side a moment later: take what
    // is left until the terminal has been quiet for a while.
    drained = drain(master, 300) && drained;
    if (!drained) {
        std::perror("pty_run: reading the terminal");
        return 2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
