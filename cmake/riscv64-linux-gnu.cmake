# Cross-compiles for 64-bit RISC-V Linux (Debian's riscv64) with Debian's
# riscv64-linux-gnu toolchain (packages g++-riscv64-linux-gnu,
# qemu-user-static).
#
#   cmake -B build/riscv64 --toolchain cmake/riscv64-linux-gnu.cmake
#
# The program gets the portable scanner there; plain char is unsigned,
# unlike on x86-64.
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(PIXSTREAM_TRIPLET riscv64-linux-gnu)
set(PIXSTREAM_QEMU_CPU riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
