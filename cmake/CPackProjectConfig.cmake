# Read by cpack before it builds a package (CPACK_PROJECT_CONFIG_FILE). An
# explicit SOURCE_DATE_EPOCH wins; without one, the package's time stamps are
# those of the latest changelog entry, which Packaging.cmake passes on.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_PIXSTREAM_RELEASED})
endif()
