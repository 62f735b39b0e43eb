#ifndef PIXSTREAM_TESTS_EACHSCANPATH_H
#define PIXSTREAM_TESTS_EACHSCANPATH_H

// A GoogleTest fixture for tests written once and run on every scan path,
// one test per path, named after it (Path/Suite.Test/avx2). On a path the
// CPU lacks the test reports itself skipped rather than passing unrun, so
// a green run on a machine without a kernel is never taken for that
// kernel's test. The lists come from the table of scan paths, so a path
// added there is tested with no change here.

#include "ScanPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

// GoogleTest finds a printer by this name: a path is shown by its name.
inline void PrintTo(const ScanPath& path, std::ostream* os) { // NOLINT(readability-identifier-naming)
    *os << path.name;
}

class EachScanPath : public testing::TestWithParam<ScanPath> {
protected:
    void SetUp() override {
        if (!GetParam().supported()) {
            GTEST_SKIP() << "this CPU lacks the " << GetParam().name << " scan path";
        }
    }
};

// The block scanners: every path but the bytewise one they are checked
// against.
inline std::vector<ScanPath> blockScanPaths() {
    std::vector<ScanPath> paths;
    std::copy_if(scanPaths().begin(), scanPaths().end(), std::back_inserter(paths),
                 [](const ScanPath& path) { return path.scanner != nullptr; });
    return paths;
}

inline std::vector<ScanPath> everyScanPath() { return {scanPaths().begin(), scanPaths().end()}; }

inline std::string scanPathTestName(const testing::TestParamInfo<ScanPath>& info) { return info.param.name; }

#endif
