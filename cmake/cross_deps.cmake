# Dependencies of a cross build for Windows, from the Debian packages of the
# machine that builds: {fmt}, CLI11, toml++ and Asio from their headers (copied into the
# build folder, so no other host header is ever seen), GoogleTest built from
# its source package. Debian has no Qt for MinGW: the window is not built.
set(_cross_include ${CMAKE_BINARY_DIR}/cross-include)
foreach(dir fmt CLI toml++)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: install libfmt-dev, libcli11-dev and libtomlplusplus-dev")
  endif()
  file(COPY /usr/include/${dir} DESTINATION ${_cross_include})
endforeach()
if(NOT EXISTS /usr/include/asio.hpp)
  message(FATAL_ERROR "/usr/include/asio.hpp is missing: install libasio-dev")
endif()
file(COPY /usr/include/asio /usr/include/asio.hpp DESTINATION ${_cross_include})
set(ASIO_INCLUDE_DIR ${_cross_include} CACHE PATH "Standalone Asio's headers" FORCE)

# {fmt}'s implementation compiled once rather than in every file that formats.
add_library(tarnwick_fmt STATIC ${CMAKE_CURRENT_LIST_DIR}/fmt_compiled.cpp)
target_include_directories(tarnwick_fmt SYSTEM PUBLIC ${_cross_include})
add_library(fmt::fmt ALIAS tarnwick_fmt)

add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_cross_include})

# Debian's toml++ library is built for the host; its headers hold the whole
# parser as well.
add_library(tomlplusplus::tomlplusplus INTERFACE IMPORTED)
target_include_directories(tomlplusplus::tomlplusplus SYSTEM INTERFACE ${_cross_include})
target_compile_definitions(tomlplusplus::tomlplusplus INTERFACE TOML_HEADER_ONLY=1)

if(TARNWICK_BUILD_TESTS)
  set(TARNWICK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TARNWICK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  include(GoogleTest)
  # Wine starts slowly: list the tests when ctest runs, not at every build.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
