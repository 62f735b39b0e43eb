#ifndef PIXSTREAM_SCANPATH_H
#define PIXSTREAM_SCANPATH_H

#include "scan/BlockScanners.h"

// One way for Pipeline to scan its input: the bytewise scanner, the
// reference, or a block scanner that takes 64 bytes at a time, whatever they
// hold, and must give the same bytes. A plain value, one entry of the table
// of every path this build has (ScanPath.cpp).
struct ScanPath {
    const char* name;          // as the benchmark tools spell it ("bytes", "avx2", ...)
    bool (*cpuHasIt)();        // whether the running CPU (and operating system) can take it
    BlockScanFunction scanner; // null for the bytewise scanner

    bool supported() const { return cpuHasIt(); }
};

// The paths of this build in the table's order: the bytewise one first, then
// the block scanners, the fastest first.
struct ScanPathList {
    const ScanPath* first;
    const ScanPath* last;
    const ScanPath* begin() const { return first; }
    const ScanPath* end() const { return last; }
};
ScanPathList scanPaths();

// The bytewise scanner: the reference every other path is held to.
ScanPath bytewiseScanPath();

// The fastest path the running CPU supports; asked once, when the program
// starts, since the answer cannot change during a run.
ScanPath fastestScanPath();

#endif
