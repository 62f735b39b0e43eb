// pixstream-runstat: runs a command with this process's standard streams and
// reports its wall time, CPU time, peak resident memory and exit status in one
// line, so that shell scripts can measure without GNU time or python.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <sys/personality.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

} // namespace

int main(int argc, char** argv) {
    int first = 1;
    const char* report = nullptr;
    bool fixedLayout = false;
    for (;;) {
        if (first + 1 < argc && std::strcmp(argv[first], "-o") == 0) {
            report = argv[first + 1];
            first += 2;
        } else if (first < argc && std::strcmp(argv[first], "-a") == 0) {
            fixedLayout = true;
            first += 1;
        } else {
            break;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: pixstream-runstat [-a] [-o REPORT] COMMAND [ARG...]\n"
                             "Prints: wall_s user_s sys_s maxrss_kib status\n"
                             "-a: no address space randomisation, for repeatable peak RSS\n");
        return 2;
    }

    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("pixstream-runstat: fork");
        return 2;
    }
    if (child == 0) {
        // Randomised load addresses change how many pages of the shared
        // libraries get mapped by fault-around, which moves peak RSS by
        // about 100 KiB from run to run; a fixed layout repeats exactly.
        if (fixedLayout) {
            personality(ADDR_NO_RANDOMIZE);
        }
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("pixstream-runstat: wait4");
            return 2;
        }
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);

    // A command killed by a signal reports 128 + signal, as the shell does.
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    FILE* out = report != nullptr ? std::fopen(report, "a") : stderr;
    if (out == nullptr) {
        std::perror(report);
        return 2;
    }
    std::fprintf(out, "%.6f %.6f %.6f %ld %d\n", seconds(end) - seconds(start), seconds(usage.ru_utime),
                 seconds(usage.ru_stime), usage.ru_maxrss, code);
    if (out != stderr) {
        std::fclose(out);
    }
    return 0;
}
