// pixstream-latency: plays a slow producer on a live pipe. Writes one group of
// six pixels every interval, keeps the pipe open, and times how long each
// group's three output bytes take to become readable; then closes the pipe and
// reports how many groups had arrived before the close.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Probe {
    int toChild = -1;
    int fromChild = -1;
    std::vector<std::uint8_t> expected; // header byte, then three per group
    std::vector<std::uint8_t> received;
    std::vector<double> writtenAt; // when each group's last byte was written
    std::vector<double> arrivedAt; // when its third output byte was read

    // Reads what is available until the deadline; returns false at end of output.
    bool drainUntil(double deadline) {
        for (;;) {
            const double left = deadline - now();
            pollfd p{fromChild, POLLIN, 0};
            const int ready = poll(&p, 1, left > 0 ? static_cast<int>(std::ceil(left * 1000)) : 0);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return true;
            }
            std::uint8_t buffer[4096];
            const ssize_t got = read(fromChild, buffer, sizeof buffer);
            if (got <= 0) {
                return got < 0 && errno == EINTR;
            }
            const double t = now();
            received.insert(received.end(), buffer, buffer + got);
            while (received.size() >= 1 + 3 * (arrivedAt.size() + 1)) {
                arrivedAt.push_back(t);
            }
        }
    }
};

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100 * static_cast<double>(v.size())));
    return v[rank == 0 ? 0 : rank - 1];
}

} // namespace

int main(int argc, char** argv) {
    int groups = 200;
    double interval = 0.020;
    int first = 1;
    for (; first + 1 < argc && argv[first][0] == '-'; first += 2) {
        if (std::strcmp(argv[first], "-g") == 0) {
            groups = std::atoi(argv[first + 1]);
        } else if (std::strcmp(argv[first], "-i") == 0) {
            interval = std::atof(argv[first + 1]) / 1000;
        } else {
            break;
        }
    }
    if (first >= argc || groups <= 0 || interval < 0) {
        std::fprintf(stderr, "usage: pixstream-latency [-g GROUPS] [-i INTERVAL_MS] COMMAND [ARG...]\n"
                             "COMMAND is given the frame rate 30 by the caller, e.g. pixstream 30.\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        std::perror("pipe");
        return 2;
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        std::signal(SIGPIPE, SIG_DFL);
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);

    Probe probe;
    probe.toChild = in[1];
    probe.fromChild = out[0];
    probe.expected.push_back(30);
    std::uint32_t seed = 12345;
    const double start = now();
    for (int g = 0; g < groups; ++g) {
        // Values of every length, so that groups end on one-, two- and
        // three-digit values alike.
        std::string text = g == 0 ? "[" : ",";
        unsigned sums[3] = {};
        for (int p = 0; p < 6; ++p) {
            text += p == 0 ? "[" : ",[";
            for (int c = 0; c < 4; ++c) {
                seed = seed * 1103515245u + 12345u;
                const unsigned value = (seed >> 16) % 256;
                text += std::to_string(value) + (c < 3 ? "," : "]");
                if (c < 3) {
                    sums[c == 1 ? 0 : c == 0 ? 1 : 2] += value;
                }
            }
        }
        for (const unsigned sum : sums) {
            probe.expected.push_back(static_cast<std::uint8_t>(sum / 6));
        }
        probe.drainUntil(start + interval * g);
        probe.writtenAt.push_back(now());
        if (write(probe.toChild, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            std::perror("pixstream-latency: write");
            break;
        }
    }
    // Give the last group its interval too, then close the pipe.
    probe.drainUntil(now() + std::max(interval, 0.1));
    const std::size_t beforeClose = probe.arrivedAt.size();
    close(probe.toChild);
    // The rest, until the end of output or ten seconds without a byte.
    for (std::size_t seen = SIZE_MAX; seen != probe.received.size();) {
        seen = probe.received.size();
        if (!probe.drainUntil(now() + 10)) {
            break;
        }
    }
    int status = 0;
    waitpid(child, &status, 0);

    std::vector<double> latency;
    for (std::size_t g = 0; g < beforeClose && g < probe.writtenAt.size(); ++g) {
        latency.push_back((probe.arrivedAt[g] - probe.writtenAt[g]) * 1000);
    }
    const bool match = probe.received == probe.expected;
    std::printf("groups %d every %.1f ms: %zu arrived before the pipe was closed, %zu in all; output %s\n",
                groups, interval * 1000, beforeClose, probe.arrivedAt.size(),
                match ? "as expected" : "DIFFERS");
    if (!latency.empty()) {
        std::printf("latency ms: p50 %.3f  p99 %.3f  max %.3f\n", percentile(latency, 50),
                    percentile(latency, 99), percentile(latency, 100));
    }
    return match && beforeClose == static_cast<std::size_t>(groups) ? 0 : 1;
}
