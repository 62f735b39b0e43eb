#include "ScanPath.h"

#include <iterator>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#if defined(PIXSTREAM_NEON_KERNEL) && defined(__arm__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

// The block scanners, one per source in scan/, each compiled for its
// instruction set.
std::size_t scanPortable(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
#if defined(__x86_64__)
std::size_t scanSsse3(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
std::size_t scanAvx2(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
std::size_t scanAvx512(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
#endif
#if defined(PIXSTREAM_NEON_KERNEL)
std::size_t scanNeon(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
#endif

namespace {

bool always() { return true; }

#if defined(__x86_64__)
// LZCNT, which the compilers' own checks do not all name.
bool hasLzcnt() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & bit_LZCNT) != 0;
}

// These also check that the operating system saves the vector registers.
// __builtin_cpu_init makes them safe even before static constructors run.
bool hasSsse3() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
}

bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && hasLzcnt();
}

bool hasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && hasLzcnt();
}
#endif

#if defined(PIXSTREAM_NEON_KERNEL) && defined(__aarch64__)
bool hasNeon() { return true; } // every arm64 CPU has NEON (Advanced SIMD)
#elif defined(PIXSTREAM_NEON_KERNEL)
// 32-bit ARM: NEON is optional there; Linux reports whether the CPU has
// it, and then saves its registers too.
bool hasNeon() { return (getauxval(AT_HWCAP) & HWCAP_NEON) != 0; }
#endif

// Every scan path of this build: a path is its kernel's source, its line
// here and its source in CMakeLists.txt. The bytewise scanner first; then
// the block scanners from the fastest, as fastestScanPath takes the first
// the CPU supports.
constexpr ScanPath table[] = {
    {"bytes", always, nullptr},
#if defined(__x86_64__)
    {"avx512", hasAvx512, scanAvx512},  {"avx2", hasAvx2, scanAvx2}, {"ssse3", hasSsse3, scanSsse3},
#endif
#if defined(PIXSTREAM_NEON_KERNEL)
    {"neon", hasNeon, scanNeon},
#endif
    {"portable", always, scanPortable},
};

} // namespace

ScanPathList scanPaths() { return {std::begin(table), std::end(table)}; }

ScanPath bytewiseScanPath() { return table[0]; }

ScanPath fastestScanPath() {
    for (const ScanPath& path : table) {
        if (path.scanner != nullptr && path.supported()) {
            return path;
        }
    }
    return table[0];
}
