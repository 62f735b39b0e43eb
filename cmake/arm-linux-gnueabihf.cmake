# Cross-compiles for 32-bit ARM Linux with hardware floating point (Debian's
# armhf) with Debian's arm-linux-gnueabihf toolchain (packages
# g++-arm-linux-gnueabihf, qemu-user-static).
#
#   cmake -B build/armhf --toolchain cmake/arm-linux-gnueabihf.cmake
#
# Test programs run under qemu-user, named explicitly rather than through
# binfmt_misc, which a container or CI machine may not have registered. On
# armhf size_t and pointers are 32 bits wide and plain char is unsigned,
# unlike on x86-64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(PIXSTREAM_CROSS_ROOT /usr/arm-linux-gnueabihf)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

# Libraries, headers and packages come from the target's root only, so no
# host library can slip into the link; programs such as sh stay the host's.
set(CMAKE_FIND_ROOT_PATH ${PIXSTREAM_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PIXSTREAM_QEMU qemu-arm-static qemu-arm)
if(PIXSTREAM_QEMU)
  # -L: the target's dynamic loader and shared libraries.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PIXSTREAM_QEMU} -L ${PIXSTREAM_CROSS_ROOT})
endif()
