# What an installation holds besides the programs and their data, and how it
# is packed: manual pages, bash completion, menu icons, the Debian copyright
# and changelog; a .deb on Linux (cmake --build --preset release --target
# package), a portable zip from the Windows cross build (cpack --preset mingw64).
include(GNUInstallDirs)
set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(_packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(TARNWICK_PACKAGE_REVISION 1 CACHE STRING "Debian revision, added after the version project() gives")
set(TARNWICK_PACKAGE_MAINTAINER "Tarnwick developers <tarnwick@example.org>" CACHE STRING
    "Maintainer named in the Debian package: the lab that builds it")
set(TARNWICK_DEB_VERSION ${PROJECT_VERSION}-${TARNWICK_PACKAGE_REVISION})

if(UNIX AND NOT CMAKE_CROSSCOMPILING)
  # Manual pages from the programs' own --help, built with everything else so
  # that a page cannot drift from its program. A sanitized build, which is
  # never packed, makes none.
  find_program(TARNWICK_HELP2MAN help2man REQUIRED)
  set(_pages "")
  foreach(program tarnwick tarnwick-cli tarnwick-sim)
    if(NOT TARGET ${program} OR TARNWICK_SANITIZE)
      continue()
    endif()
    set(_readme "")
    if(program STREQUAL "tarnwick-cli")  # its exit statuses are the README's table
      set(_readme -DREADME=${PROJECT_SOURCE_DIR}/README.md)
    endif()
    set(_page ${_packaging_out}/man/${program}.1.gz)
    add_custom_command(
      OUTPUT ${_page}
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DHELP2MAN=${TARNWICK_HELP2MAN}
              -DINCLUDE=${_packaging}/man/${program}.h2m ${_readme} -DOUTPUT=${_page}
              -P ${PROJECT_SOURCE_DIR}/cmake/manual_page.cmake
      DEPENDS ${program} ${_packaging}/man/${program}.h2m ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/cmake/manual_page.cmake
      COMMENT "Manual page ${program}(1) from ${program} --help"
      VERBATIM)
    list(APPEND _pages ${_page})
  endforeach()
  if(_pages)
    add_custom_target(manual_pages ALL DEPENDS ${_pages})
    install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  install(FILES ${_packaging}/tarnwick-cli.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tarnwick-cli)

  # The menu's icon sizes, drawn from the one SVG.
  if(TARGET tarnwick)
    find_program(TARNWICK_RSVG_CONVERT rsvg-convert REQUIRED)
    set(_svg ${PROJECT_SOURCE_DIR}/app/tarnwick.svg)
    set(_icons "")
    foreach(size 16 22 24 32 48 64 128 256)
      set(_png ${_packaging_out}/icons/${size}x${size}/tarnwick.png)
      add_custom_command(
        OUTPUT ${_png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_packaging_out}/icons/${size}x${size}
        COMMAND ${TARNWICK_RSVG_CONVERT} --width ${size} --height ${size} --output ${_png} ${_svg}
        DEPENDS ${_svg}
        VERBATIM)
      list(APPEND _icons ${_png})
      install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(menu_icons ALL DEPENDS ${_icons})
  endif()

  # Debian's copyright file and changelog, under the package's own name.
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARNWICK_PACKAGE_MAINTAINER})
  configure_file(${_packaging}/changelog.Debian.in ${_packaging_out}/changelog.Debian @ONLY)
  add_custom_command(
    OUTPUT ${_packaging_out}/changelog.Debian.gz
    COMMAND gzip -9 -n -k -f ${_packaging_out}/changelog.Debian
    DEPENDS ${_packaging_out}/changelog.Debian
    VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${_packaging_out}/changelog.Debian.gz)
  install(FILES ${_packaging}/copyright ${_packaging_out}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)
  install(FILES ${_packaging}/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tarnwick)

  if(TARNWICK_BUILD_TESTS)
    add_test(NAME completion_TarnwickCli
             COMMAND bash ${_packaging}/completion_test.sh ${_packaging}/tarnwick-cli.bash
                     $<TARGET_FILE:tarnwick-cli>)
  endif()
endif()

if(WIN32)
  # The DLLs the programs need beyond Windows' own, found in the compiler's
  # runtime folders when the zip is made (none while the runtime is linked
  # statically). What is not found there is left to Windows.
  set(_runtime_dirs "")
  if(CMAKE_CROSSCOMPILING)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                    OUTPUT_VARIABLE _libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(_compiler_dir "${_libstdcxx}" DIRECTORY)
    list(APPEND _runtime_dirs ${_compiler_dir})
    foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
      list(APPEND _runtime_dirs ${root}/lib ${root}/bin)
    endforeach()
  endif()
  install(CODE "
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${CMAKE_OBJDUMP}\")
    file(GET_RUNTIME_DEPENDENCIES
         EXECUTABLES \"$<TARGET_FILE:tarnwick-cli>\" \"$<TARGET_FILE:tarnwick-sim>\"
         DIRECTORIES ${_runtime_dirs}
         RESOLVED_DEPENDENCIES_VAR _found
         UNRESOLVED_DEPENDENCIES_VAR _windows)
    list(JOIN _windows \", \" _windows)
    message(STATUS \"DLLs left to Windows: \${_windows}\")
    if(_found)
      file(INSTALL \${_found} DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    endif()
  ")
  # README.txt says what the README's table says, as plain text with
  # Windows' line ends (configure_file gives the template's lines theirs).
  include(${PROJECT_SOURCE_DIR}/cmake/readme_exit_status.cmake)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  readme_exit_status(${PROJECT_SOURCE_DIR}/README.md tarnwick-cli _lines)
  set(TARNWICK_EXIT_STATUSES "")
  foreach(line IN LISTS _lines)
    exit_status_row("${line}" row)
    if(row STREQUAL "TRUE")
      string(LENGTH "${STATUS}" width)
      math(EXPR width "8 - ${width}")
      string(REPEAT " " ${width} pad)
      string(APPEND TARNWICK_EXIT_STATUSES "  ${STATUS}${pad}${MEANING}\r\n")
    elseif(NOT row)
      string(REPLACE "`" "" line "${line}")
      string(REGEX REPLACE "\\[([^]]*)\\]\\([^)]*\\)" "\\1" line "${line}")
      string(APPEND TARNWICK_EXIT_STATUSES "${line}\r\n")
    endif()
  endforeach()
  configure_file(${_packaging}/README.txt.in ${_packaging_out}/README.txt @ONLY NEWLINE_STYLE CRLF)
  # copyright.txt: Tarnwick's terms, then those of what the cross build links
  # in statically ({fmt}, toml++, the MinGW-w64 and GCC runtimes), as the
  # building machine's Debian packages give them.
  file(READ ${_packaging}/copyright _terms)
  if(CMAKE_CROSSCOMPILING)
    string(REPLACE "_" "-" _mingw_arch "${CMAKE_SYSTEM_PROCESSOR}")
    foreach(package libfmt-dev libtomlplusplus-dev mingw-w64-${_mingw_arch}-dev gcc-mingw-w64-base)
      if(EXISTS /usr/share/doc/${package}/copyright)
        file(READ /usr/share/doc/${package}/copyright _more)
        string(APPEND _terms "\n\n==== Debian's ${package}: /usr/share/doc/${package}/copyright ====\n\n${_more}")
      endif()
    endforeach()
  endif()
  string(REPLACE "\n" "\r\n" _terms "${_terms}")
  file(WRITE ${_packaging_out}/copyright.txt "${_terms}")
  install(FILES ${_packaging_out}/README.txt ${_packaging_out}/copyright.txt DESTINATION .)
endif()

set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARNWICK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spurious emission search with a spectrum analyser over GPIB")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwick drives a spectrum analyser over a GPIB (IEEE 488) bus, a\n"
    "Prologix-style adaptor, a raw socket or VISA through a plan of frequency\n"
    "segments, leaving out the carrier of the transmitter under test, and\n"
    "writes each segment's peak frequency and level. Runs are kept in a\n"
    "journal, judged against limits and reported as PDF. It has a window\n"
    "(tarnwick), a command line (tarnwick-cli) and a simulated analyser to\n"
    "try it without hardware (tarnwick-sim).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_FILE_NAME tarnwick-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tarnwick_VERSION-REVISION_ARCH.deb
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${TARNWICK_PACKAGE_REVISION})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from what the binaries link
  # The results box's face of choice, which Qt does without; and libpq,
  # which the programs load only to reach a lab, so dpkg-shlibdeps cannot
  # see it.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-vlgothic, libpq5")
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
