#ifndef PIXSTREAM_SCAN_KERNEL_H
#define PIXSTREAM_SCAN_KERNEL_H

// What an instruction set supplies to the block scanner (ScanBlocks.h): the
// same operations with the same meaning in every kernel, checked by
// checkKernel when the scanner is compiled for it.
//
// The dense stream is what the bytewise scanner does not ignore, in input
// order: each digit as its value, 0 to 9, and each ',' and ']' as a byte
// above 9 of the kernel's choosing.
//
//   Bits::count(x)      the bits set in x (64 bits)
//   compress(window, out) -> std::size_t
//                       pass 1: the dense stream of the window's 64 input
//                       bytes at out, and its length; may write windowSize
//                       bytes at out whatever the length
//   digits(dense) -> std::uint64_t
//                       bit i set where dense[i] is a digit, for i < 64
//   storeValues(dense, tens, hundreds, take, out)
//                       pass 2: the running value of each byte i of the 64
//                       at dense that take selects, in order, at out: dense[i]
//                       plus 10 times dense[i - 1] where bit i of tens is set
//                       and 100 times dense[i - 2] where hundreds' is, modulo
//                       256 (tens is set wherever hundreds is); reads from
//                       dense - 2, and may write storeSlack bytes past the
//                       last value
//   reduce(values, groups, out) -> std::uint8_t*
//                       averages groups * 24 values into groups * 3 output
//                       bytes and returns the end of them; may read
//                       reduceSlack bytes past the last group

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace blockscan {

template <class Kernel> constexpr bool checkKernel() {
    static_assert(std::is_same_v<decltype(Kernel::Bits::count(std::uint64_t{})), unsigned>,
                  "Bits::count(std::uint64_t) -> unsigned");
    static_assert(std::is_same_v<decltype(&Kernel::compress), std::size_t (*)(const char*, std::uint8_t*)>,
                  "compress(const char* window, std::uint8_t* out) -> std::size_t");
    static_assert(std::is_same_v<decltype(&Kernel::digits), std::uint64_t (*)(const std::uint8_t*)>,
                  "digits(const std::uint8_t* dense) -> std::uint64_t");
    static_assert(
        std::is_same_v<decltype(&Kernel::storeValues), void (*)(const std::uint8_t*, std::uint64_t,
                                                                std::uint64_t, std::uint64_t, std::uint8_t*)>,
        "storeValues(const std::uint8_t* dense, std::uint64_t tens, std::uint64_t hundreds, "
        "std::uint64_t take, std::uint8_t* out)");
    static_assert(
        std::is_same_v<decltype(&Kernel::reduce),
                       std::uint8_t* (*)(const std::uint8_t*, std::size_t, std::uint8_t*)>,
        "reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) -> std::uint8_t*");
    return true;
}

} // namespace blockscan

#endif
