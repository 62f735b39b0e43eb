# Cross-compiles for 64-bit RISC-V Linux (Debian's riscv64) with Debian's
# riscv64-linux-gnu toolchain (packages g++-riscv64-linux-gnu,
# qemu-user-static).
#
#   cmake -B build/riscv64 --toolchain cmake/riscv64-linux-gnu.cmake
#
# Test programs run under qemu-user, named explicitly rather than through
# binfmt_misc, which a container or CI machine may not have registered. The
# program gets the portable scanner there; plain char is unsigned, unlike on
# x86-64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR riscv64)

set(PIXSTREAM_CROSS_ROOT /usr/riscv64-linux-gnu)
set(CMAKE_C_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER riscv64-linux-gnu-g++)

# Libraries, headers and packages come from the target's root only, so no
# host library can slip into the link; programs such as sh stay the host's.
set(CMAKE_FIND_ROOT_PATH ${PIXSTREAM_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PIXSTREAM_QEMU qemu-riscv64-static qemu-riscv64)
if(PIXSTREAM_QEMU)
  # -L: the target's dynamic loader and shared libraries.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PIXSTREAM_QEMU} -L ${PIXSTREAM_CROSS_ROOT})
endif()
