# Install rules, the Debian package and the tests that check them.
#
#   cmake --install build/release --prefix /usr/local
#   cpack -G DEB --config build/release/CPackConfig.cmake

include(GNUInstallDirs)

# Two layouts share the program. A source install puts the manual page, the
# README and the licence in place as they are (component docs). The Debian
# package holds what Debian policy asks for instead (component deb): the page,
# the README and a Debian changelog compressed with gzip -9n, and a
# machine-readable copyright file that carries the licence. EXCLUDE_FROM_ALL
# keeps the package's files out of a plain cmake --install; CPack installs the
# program and the deb component only.
install(TARGETS pixstream RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES man/pixstream.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT docs)
# The preview, where it is built, likewise: its program is component show,
# its page joins docs, and show_deb holds what its own Debian package adds.
set(deb_sources man/pixstream.1 README.md packaging/changelog)
if(PIXSTREAM_SHOW)
  install(TARGETS pixstream-show RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT show)
  install(FILES man/pixstream-show.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)
  list(APPEND deb_sources man/pixstream-show.1)
endif()

set(deb_dir ${PROJECT_BINARY_DIR}/deb)
find_program(PIXSTREAM_GZIP gzip REQUIRED)
# -n leaves the name and time stamp out of the gzip header, so the bytes
# depend on the content alone.
set(deb_compressed)
foreach(doc IN LISTS deb_sources)
  get_filename_component(name ${doc} NAME)
  add_custom_command(OUTPUT ${deb_dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${doc} ${deb_dir}/${name}
    COMMAND ${PIXSTREAM_GZIP} -9nf ${deb_dir}/${name}
    DEPENDS ${PROJECT_SOURCE_DIR}/${doc}
    VERBATIM)
  list(APPEND deb_compressed ${deb_dir}/${name}.gz)
endforeach()
add_custom_target(pixstream_deb_docs ALL DEPENDS ${deb_compressed})

# The copyright file takes the holder and the licence text from LICENSE, so
# the two cannot drift apart. DEP-5 calls this licence Expat ("MIT" names
# several). Its text continues the License field: every line indented by one
# space, an empty line written as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\([cC]\\) ([^\n]+)\n+(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE has no line \"Copyright (c) YEAR HOLDER\" before the licence text")
endif()
set(PIXSTREAM_COPYRIGHT "${CMAKE_MATCH_1}")
set(text "${CMAKE_MATCH_2}")
while(text MATCHES "\n\n")
  string(REPLACE "\n\n" "\n.\n" text "${text}")
endwhile()
string(REPLACE "\n" "\n " PIXSTREAM_LICENCE_TEXT " ${text}")
configure_file(packaging/copyright.in ${deb_dir}/copyright @ONLY)

install(FILES ${deb_dir}/pixstream.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${deb_dir}/README.md.gz ${deb_dir}/changelog.gz ${deb_dir}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT deb EXCLUDE_FROM_ALL)
# mkdir applies the umask to the directories it makes while staging, whatever
# mode CMake asks for (CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS included),
# and the package records the modes it finds. So the staged directories from
# the prefix down to each destination are set to 0755, under DESTDIR only.
set(staged_dir_modes [[
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    foreach(dir IN LISTS pixstream_dirs)
      while(NOT dir STREQUAL "" AND NOT IS_ABSOLUTE "${dir}")
        file(CHMOD "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${dir}" DIRECTORY_PERMISSIONS
          OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
        get_filename_component(dir "${dir}" DIRECTORY)
      endwhile()
    endforeach()
    file(CHMOD "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}" DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
]])
install(CODE "set(pixstream_dirs ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man1 ${CMAKE_INSTALL_DOCDIR})"
  COMPONENT deb EXCLUDE_FROM_ALL)
install(CODE "${staged_dir_modes}" COMPONENT deb EXCLUDE_FROM_ALL)
if(PIXSTREAM_SHOW)
  # Every Debian package has its own documentation directory with the
  # copyright file and the changelog; both packages come from one source.
  set(show_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/pixstream-show)
  install(FILES ${deb_dir}/pixstream-show.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT show_deb EXCLUDE_FROM_ALL)
  install(FILES ${deb_dir}/changelog.gz ${deb_dir}/copyright DESTINATION ${show_docdir}
    COMPONENT show_deb EXCLUDE_FROM_ALL)
  install(CODE "set(pixstream_dirs ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man1 ${show_docdir})"
    COMPONENT show_deb EXCLUDE_FROM_ALL)
  install(CODE "${staged_dir_modes}" COMPONENT show_deb EXCLUDE_FROM_ALL)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS
  ${PROJECT_BINARY_DIR} ${PROJECT_NAME} program /
  ${PROJECT_BINARY_DIR} ${PROJECT_NAME} deb /)
set(CPACK_PACKAGE_NAME pixstream)
set(CPACK_PACKAGE_CONTACT "pixstream maintainers <maintainers@users.noreply.c-seed-6be6097b.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "filter that averages JSON pixel text into a binary colour stream")
# Lines of the extended description, as Debian wraps them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "pixstream reads pixels as JSON text on standard input, four colour values"
  "per pixel, averages every six pixels into one and writes a compact binary"
  "stream to standard output: one header byte holding the frame rate, then"
  "three bytes per averaged pixel. It works in constant memory and passes"
  "output on as input arrives, so it can sit in a live pipeline.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
if(CMAKE_CROSSCOMPILING)
  # The target's architecture as Debian names it, from the compiler's GNU
  # triplet; Depends from the program's symbol versions, when cpack runs
  # (cmake/DebianDepends.cmake says why not dpkg-shlibdeps).
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
    OUTPUT_VARIABLE CPACK_PIXSTREAM_CROSS_TRIPLET OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_program(PIXSTREAM_DPKG_ARCHITECTURE dpkg-architecture)
  if(PIXSTREAM_DPKG_ARCHITECTURE)
    execute_process(COMMAND ${PIXSTREAM_DPKG_ARCHITECTURE} --host-type ${CPACK_PIXSTREAM_CROSS_TRIPLET} --query DEB_HOST_ARCH
      OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  set(CPACK_PIXSTREAM_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(CPACK_PIXSTREAM_READELF ${CMAKE_READELF})
  set(CPACK_PIXSTREAM_PROGRAM ${PROJECT_BINARY_DIR}/pixstream)
else()
  # dpkg-shlibdeps (package dpkg-dev) works out the library dependencies.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_STRIP_FILES ON)

# CPack stamps every member of the package with SOURCE_DATE_EPOCH when the
# environment has it (the ar and tar headers, the gzip headers of the tar
# files); otherwise with the time it runs. cmake/CPackProjectConfig.cmake
# sets it, when unset, to the time of the latest changelog entry, as
# dpkg-buildpackage does, so that every build of a release gives the same
# bytes. CPack sorts the members and makes them root's. Two things it takes
# from the build machine remain: the umask, in the modes of the three ar
# members (so build with umask 022), and the sizes the file system gives
# directories, which it counts into Installed-Size.
file(STRINGS packaging/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- [^>]*>  " "" released "${trailer}")
execute_process(COMMAND date -u -d "${released}" +%s
  OUTPUT_VARIABLE CPACK_PIXSTREAM_RELEASED OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT CPACK_PIXSTREAM_RELEASED MATCHES "^[0-9]+$")
  message(FATAL_ERROR "packaging/changelog: cannot read the date of the latest entry [${released}]")
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProjectConfig.cmake)
include(CPack)
if(PIXSTREAM_SHOW)
  string(JOIN "\n" PIXSTREAM_SHOW_DESCRIPTION
    "pixstream-show reads the binary colour stream that pixstream writes, a"
    "frame-rate byte then three bytes per LED, and shows it: as a PNG picture"
    "with one row per frame, or as lines of 24-bit colour cells on a terminal,"
    "one per frame as it arrives, so a recorded animation or a live pipeline"
    "can be checked without the LEDs.")
  configure_file(cmake/CPackShowConfig.cmake.in ${PROJECT_BINARY_DIR}/CPackShowConfig.cmake @ONLY)
endif()

if(PIXSTREAM_TESTS)
  add_test(NAME man_lint COMMAND sh ${PROJECT_SOURCE_DIR}/tests/man_lint.sh ${PROJECT_SOURCE_DIR}/man/pixstream.1)
  add_test(NAME man_lint_show COMMAND sh ${PROJECT_SOURCE_DIR}/tests/man_lint.sh ${PROJECT_SOURCE_DIR}/man/pixstream-show.1)
  set_tests_properties(man_lint_show PROPERTIES SKIP_RETURN_CODE 77)
  add_test(NAME install
    COMMAND sh ${PROJECT_SOURCE_DIR}/tests/install.sh ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}
            ${PIXSTREAM_SHOW})
  add_test(NAME deb
    COMMAND sh ${PROJECT_SOURCE_DIR}/tests/deb.sh ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR}
            ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} "${CMAKE_READELF}" $<TARGET_FILE:pixstream>)
  set_tests_properties(man_lint deb PROPERTIES SKIP_RETURN_CODE 77)
  if(PIXSTREAM_SHOW)
    add_test(NAME deb_show
      COMMAND sh ${PROJECT_SOURCE_DIR}/tests/deb_show.sh ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR}
              ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} "${CMAKE_READELF}")
    set_tests_properties(deb_show PROPERTIES SKIP_RETURN_CODE 77)
  endif()
  # Packages are made from the optimised build; a debug build's program
  # holds its source paths, so only that build is held to the same bytes.
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    set(same_build -G ${CMAKE_GENERATOR} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER} -DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}
      -DCMAKE_CXX_FLAGS_RELEASE=${CMAKE_CXX_FLAGS_RELEASE} -DCMAKE_EXE_LINKER_FLAGS=${CMAKE_EXE_LINKER_FLAGS}
      -DPIXSTREAM_WERROR=${PIXSTREAM_WERROR})
    if(CMAKE_TOOLCHAIN_FILE)
      list(APPEND same_build --toolchain ${CMAKE_TOOLCHAIN_FILE})
    endif()
    add_test(NAME deb_reproducible
      COMMAND sh ${PROJECT_SOURCE_DIR}/tests/deb_reproducible.sh ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND}
              ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} ${same_build})
    set_tests_properties(deb_reproducible PROPERTIES SKIP_RETURN_CODE 77)
  endif()
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
    set_tests_properties(install PROPERTIES ENVIRONMENT "PIXSTREAM_EMULATOR=${emulator}")
    set_tests_properties(deb PROPERTIES ENVIRONMENT
      "PIXSTREAM_EMULATOR=${emulator};PIXSTREAM_DEB_ARCH=${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
  endif()
endif()
