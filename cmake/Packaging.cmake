# Install rules and the tests that check them.
#
#   cmake --install build/release --prefix /usr/local

include(GNUInstallDirs)

install(TARGETS pixstream RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES man/pixstream.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(PIXSTREAM_TESTS)
  add_test(NAME man_lint COMMAND sh ${PROJECT_SOURCE_DIR}/tests/man_lint.sh ${PROJECT_SOURCE_DIR}/man/pixstream.1)
  add_test(NAME install
    COMMAND sh ${PROJECT_SOURCE_DIR}/tests/install.sh ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  set_tests_properties(man_lint PROPERTIES SKIP_RETURN_CODE 77)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
    set_tests_properties(install PROPERTIES ENVIRONMENT "PIXSTREAM_EMULATOR=${emulator}")
  endif()
endif()
