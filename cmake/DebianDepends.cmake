# The Depends field of a cross-built package, from the program itself.
#
# dpkg-shlibdeps finds a cross build's libraries in the cross toolchain's
# packages (libc6-arm64-cross and the like), whose names and shlibs are the
# build machine's, not the board's. So a cross package depends on what the
# program asks of the dynamic loader: each library it names (DT_NEEDED), at
# the newest symbol version it takes from it (.gnu.version_r). The loader
# refuses to run the program against an older library, and Debian's libc6
# and libgcc-s1 versions carry the same numbers as their symbol versions, so
# this is the least version that works. dpkg-shlibdeps reaches the same
# bound from libc6's symbols file on a native build; the deb test checks that.
#
# A library without a rule below stops the package rather than being left
# out of Depends.
#
#   cmake -DREADELF=readelf -DPROGRAM=build/release/pixstream -P cmake/DebianDepends.cmake

set(pixstream_debian_libraries
  # soname       package    symbol version prefix
  libc.so.6      libc6      GLIBC_
  libm.so.6      libc6      GLIBC_
  libgcc_s.so.1  libgcc-s1  GCC_)

# pixstream_debian_depends(OUT READELF PROGRAM): OUT is the Depends field.
function(pixstream_debian_depends out readelf program)
  execute_process(COMMAND ${readelf} --wide --dynamic --version-info ${program}
    OUTPUT_VARIABLE elf RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${readelf} ${program}: ${error}")
  endif()

  # 0x0000000000000001 (NEEDED)             Shared library: [libc.so.6]
  string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]*\\]" lines "${elf}")
  set(packages)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".*\\[([^]]*)\\]$" "\\1" soname "${line}")
    list(FIND pixstream_debian_libraries ${soname} at)
    math(EXPR column "${at} % 3")
    if(at LESS 0 OR NOT column EQUAL 0)
      message(FATAL_ERROR "${program} needs ${soname}; cmake/DebianDepends.cmake names no Debian package for it")
    endif()
    math(EXPR at "${at} + 1")
    list(GET pixstream_debian_libraries ${at} package)
    math(EXPR at "${at} + 1")
    list(GET pixstream_debian_libraries ${at} prefix)

    # 000000: Version: 1  File: libc.so.6  Cnt: 2
    # 0x0010:   Name: GLIBC_2.34  Flags: none  Version: 3
    # The names that follow a library's File: line are its versions.
    string(REGEX MATCHALL "File: [^ \n]+|Name: [^ \n]+" entries "${elf}")
    set(file "")
    set(least "")
    foreach(entry IN LISTS entries)
      if(entry MATCHES "^File: (.*)")
        set(file "${CMAKE_MATCH_1}")
      elseif(file STREQUAL soname AND entry MATCHES "^Name: ${prefix}([0-9.]+)$")
        if(least STREQUAL "" OR CMAKE_MATCH_1 VERSION_GREATER least)
          set(least "${CMAKE_MATCH_1}")
        endif()
      endif()
    endforeach()

    # Two libraries of one package (libc.so.6, libm.so.6): the newer wins.
    if(DEFINED least_${package})
      if(least VERSION_GREATER least_${package})
        set(least_${package} "${least}")
      endif()
    else()
      list(APPEND packages ${package})
      set(least_${package} "${least}")
    endif()
  endforeach()

  list(SORT packages)
  set(fields)
  foreach(package IN LISTS packages)
    if(least_${package} STREQUAL "")
      list(APPEND fields "${package}")
    else()
      list(APPEND fields "${package} (>= ${least_${package}})")
    endif()
  endforeach()
  list(JOIN fields ", " depends)
  set(${out} "${depends}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  pixstream_debian_depends(depends "${READELF}" "${PROGRAM}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${depends}")
endif()
