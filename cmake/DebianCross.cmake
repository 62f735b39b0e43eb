# What every cross toolchain file here shares: Debian's cross compiler for
# the GNU triplet PIXSTREAM_TRIPLET, the target's root for libraries and
# headers, and qemu-user (PIXSTREAM_QEMU_CPU, the qemu-NAME of the target)
# to run test programs.
#
# Test programs run under qemu-user, named explicitly rather than through
# binfmt_misc, which a container or CI machine may not have registered.
set(CMAKE_SYSTEM_NAME Linux)

set(PIXSTREAM_CROSS_ROOT /usr/${PIXSTREAM_TRIPLET})
set(CMAKE_C_COMPILER ${PIXSTREAM_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PIXSTREAM_TRIPLET}-g++)

# Libraries, headers and packages come from the target's root only, so no
# host library can slip into the link; programs such as sh stay the host's.
set(CMAKE_FIND_ROOT_PATH ${PIXSTREAM_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PIXSTREAM_QEMU qemu-${PIXSTREAM_QEMU_CPU}-static qemu-${PIXSTREAM_QEMU_CPU})
if(PIXSTREAM_QEMU)
  # -L: the target's dynamic loader and shared libraries.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PIXSTREAM_QEMU} -L ${PIXSTREAM_CROSS_ROOT})
endif()
