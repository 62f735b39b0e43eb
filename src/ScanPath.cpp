#include "ScanPath.h"
#include "scan/BlockScanners.h"

#include <initializer_list>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#if defined(PIXSTREAM_NEON_KERNEL) && defined(__arm__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

#if defined(__x86_64__)
namespace {

// LZCNT, which the compilers' own checks do not all name.
bool hasLzcnt() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & bit_LZCNT) != 0;
}

} // namespace
#endif

bool supported(ScanPath path) {
    switch (path) {
    case ScanPath::bytes:
    case ScanPath::portable:
        return true;
#if defined(__x86_64__)
    // These also check that the operating system saves the vector registers.
    // __builtin_cpu_init makes them safe even before static constructors run.
    case ScanPath::ssse3:
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    case ScanPath::avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
               __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && hasLzcnt();
    case ScanPath::avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
               __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") &&
               __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && hasLzcnt();
#else
    case ScanPath::ssse3:
    case ScanPath::avx2:
    case ScanPath::avx512:
        return false;
#endif
#if defined(PIXSTREAM_NEON_KERNEL) && defined(__aarch64__)
    case ScanPath::neon:
        return true; // every arm64 CPU has NEON (Advanced SIMD)
#elif defined(PIXSTREAM_NEON_KERNEL)
    // 32-bit ARM: NEON is optional there; Linux reports whether the CPU has
    // it, and then saves its registers too.
    case ScanPath::neon:
        return (getauxval(AT_HWCAP) & HWCAP_NEON) != 0;
#else
    case ScanPath::neon:
        return false;
#endif
    }
    return false;
}

ScanPath fastestScanPath() {
    for (const ScanPath path : {ScanPath::avx512, ScanPath::avx2, ScanPath::ssse3, ScanPath::neon}) {
        if (supported(path)) {
            return path;
        }
    }
    return ScanPath::portable;
}

const char* scanPathName(ScanPath path) {
    switch (path) {
    case ScanPath::bytes:
        return "bytes";
    case ScanPath::portable:
        return "portable";
    case ScanPath::ssse3:
        return "ssse3";
    case ScanPath::avx2:
        return "avx2";
    case ScanPath::avx512:
        return "avx512";
    case ScanPath::neon:
        return "neon";
    }
    return "?";
}
