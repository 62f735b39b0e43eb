# Install rules, the Debian package and the tests that check them.
#
#   cmake --install build/release --prefix /usr/local
#   cpack -G DEB --config build/release/CPackConfig.cmake

include(GNUInstallDirs)

install(TARGETS pixstream RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES man/pixstream.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
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
# dpkg-shlibdeps (package dpkg-dev) works out the library dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(PIXSTREAM_TESTS)
  add_test(NAME man_lint COMMAND sh ${PROJECT_SOURCE_DIR}/tests/man_lint.sh ${PROJECT_SOURCE_DIR}/man/pixstream.1)
  add_test(NAME install
    COMMAND sh ${PROJECT_SOURCE_DIR}/tests/install.sh ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  set_tests_properties(man_lint PROPERTIES SKIP_RETURN_CODE 77)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
    set_tests_properties(install PROPERTIES ENVIRONMENT "PIXSTREAM_EMULATOR=${emulator}")
  else()
    # dpkg-shlibdeps cannot map the libraries of a cross build to packages.
    add_test(NAME deb
      COMMAND sh ${PROJECT_SOURCE_DIR}/tests/deb.sh ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR}
              ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} $<TARGET_FILE:pixstream>)
    set_tests_properties(deb PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endif()
