# Cross-compiles for 32-bit ARM Linux with hardware floating point (Debian's
# armhf) with Debian's arm-linux-gnueabihf toolchain (packages
# g++-arm-linux-gnueabihf, qemu-user-static).
#
#   cmake -B build/armhf --toolchain cmake/arm-linux-gnueabihf.cmake
#
# On armhf size_t and pointers are 32 bits wide and plain char is unsigned,
# unlike on x86-64.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(PIXSTREAM_TRIPLET arm-linux-gnueabihf)
set(PIXSTREAM_QEMU_CPU arm)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
