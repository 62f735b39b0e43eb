# Cross-compiles for IBM Z Linux (Debian's s390x) with Debian's
# s390x-linux-gnu toolchain (packages g++-s390x-linux-gnu, qemu-user-static).
#
#   cmake -B build/s390x --toolchain cmake/s390x-linux-gnu.cmake
#
# s390x is big-endian, the one byte order the other builds never try, and
# its plain char is unsigned; the program gets the portable scanner there.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(PIXSTREAM_TRIPLET s390x-linux-gnu)
set(PIXSTREAM_QEMU_CPU s390x)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
