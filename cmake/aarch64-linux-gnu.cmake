# Cross-compiles for 64-bit ARM Linux with Debian's aarch64-linux-gnu
# toolchain (packages g++-aarch64-linux-gnu, qemu-user-static).
#
#   cmake -B build/arm64 --toolchain cmake/aarch64-linux-gnu.cmake
#
# On arm64 plain char is unsigned, unlike on x86-64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(PIXSTREAM_TRIPLET aarch64-linux-gnu)
set(PIXSTREAM_QEMU_CPU aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
