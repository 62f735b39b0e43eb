#include "Spool.h"

#include "Messages.h"
#include "RawIo.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

Spool::~Spool() {
    if (copy >= 0) {
        close(copy);
    }
}

bool Spool::makeCopy() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    path += "/pixstream-show.XXXXXX";
    copy = mkstemp(path.data());
    if (copy < 0) {
        failure("cannot make a temporary file");
        return false;
    }
    unlink(path.c_str());
    return true;
}

bool Spool::fill(std::uint64_t& bytes) {
    struct stat status {};
    const off_t at = fstat(input, &status) == 0 && S_ISREG(status.st_mode) ? lseek(input, 0, SEEK_CUR) : -1;
    if (at >= 0) {
        start = at;
    } else if (!makeCopy()) {
        return false;
    }
    bytes = 0;
    char block[65536];
    for (;;) {
        bool failed = false;
        const std::size_t got = readFull(input, block, sizeof block, failed);
        if (copy >= 0 && !writeAll(copy, block, got)) {
            failure("temporary file: write error");
            return false;
        }
        bytes += got;
        if (failed) {
            failure("read error");
            return false;
        }
        if (got < sizeof block) {
            return true;
        }
    }
}

bool Spool::rewind() const {
    if (lseek(fd(), copy >= 0 ? 0 : start, SEEK_SET) < 0) {
        failure("cannot read the input again");
        return false;
    }
    return true;
}
