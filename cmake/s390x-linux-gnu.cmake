# Cross-compiles for IBM Z Linux (Debian's s390x) with Debian's
# s390x-linux-gnu toolchain (packages g++-s390x-linux-gnu, qemu-user-static).
#
#   cmake -B build/s390x --toolchain cmake/s390x-linux-gnu.cmake
#
# Test programs run under qemu-user, named explicitly rather than through
# binfmt_misc, which a container or CI machine may not have registered.
# s390x is big-endian, the one byte order the other builds never try, and
# its plain char is unsigned; the program gets the portable scanner there.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(PIXSTREAM_CROSS_ROOT /usr/s390x-linux-gnu)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

# Libraries, headers and packages come from the target's root only, so no
# host library can slip into the link; programs such as sh stay the host's.
set(CMAKE_FIND_ROOT_PATH ${PIXSTREAM_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PIXSTREAM_QEMU qemu-s390x-static qemu-s390x)
if(PIXSTREAM_QEMU)
  # -L: the target's dynamic loader and shared libraries.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PIXSTREAM_QEMU} -L ${PIXSTREAM_CROSS_ROOT})
endif()
