# Read by cpack before it builds a package (CPACK_PROJECT_CONFIG_FILE). An
# explicit SOURCE_DATE_EPOCH wins; without one, the package's time stamps are
# those of the latest changelog entry, which Packaging.cmake passes on.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_PIXSTREAM_RELEASED})
endif()

# A cross build's package depends on what its program asks of the target's
# libraries (cmake/DebianDepends.cmake).
if(CPACK_PIXSTREAM_CROSS_TRIPLET)
  if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR "No Debian architecture for ${CPACK_PIXSTREAM_CROSS_TRIPLET}: "
      "install dpkg-dev (dpkg-architecture) and configure again")
  endif()
  if(NOT EXISTS ${CPACK_PIXSTREAM_PROGRAM})
    message(FATAL_ERROR "${CPACK_PIXSTREAM_PROGRAM} is not built")
  endif()
  include(${CPACK_PIXSTREAM_SOURCE_DIR}/cmake/DebianDepends.cmake)
  pixstream_debian_depends(CPACK_DEBIAN_PACKAGE_DEPENDS ${CPACK_PIXSTREAM_READELF} ${CPACK_PIXSTREAM_PROGRAM})
endif()
