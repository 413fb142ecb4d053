# CLI11, fast_float, nlohmann-json and GoogleTest come from Debian's packages
# (libcli11-dev, libfast-float-dev, nlohmann-json3-dev, googletest/libgtest-dev), found through the CMake package
# files those packages ship.
#
# A cross build cannot use them: they point at the host's /usr/include, which
# must never reach a Windows build (it would drag glibc headers in), and the
# toolchain file keeps find_package inside the mingw-w64 root for that reason.
# There the header-only libraries are exposed through a private include folder
# that links to each library's own folder, and GoogleTest is built from its
# sources. The same fallback serves a host whose package lacks the files.
set(TABRINO_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)

function(tabrino_header_library target folder probe)
  find_path(${target}_ROOT ${folder}/${probe}
            PATHS /usr/include /usr/local/include
            NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(NOT ${target}_ROOT)
    message(FATAL_ERROR "${folder}/${probe} not found: install the Debian package that provides it")
  endif()
  file(MAKE_DIRECTORY ${TABRINO_THIRD_PARTY_INCLUDE})
  file(CREATE_LINK ${${target}_ROOT}/${folder} ${TABRINO_THIRD_PARTY_INCLUDE}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} SYSTEM INTERFACE ${TABRINO_THIRD_PARTY_INCLUDE})
endfunction()

find_package(FastFloat CONFIG QUIET)
if(NOT TARGET FastFloat::fast_float)
  tabrino_header_library(FastFloat::fast_float fast_float fast_float.h)
endif()

find_package(nlohmann_json CONFIG QUIET)
if(NOT TARGET nlohmann_json::nlohmann_json)
  tabrino_header_library(nlohmann_json::nlohmann_json nlohmann json.hpp)
endif()

find_package(CLI11 CONFIG QUIET)
if(NOT TARGET CLI11::CLI11)
  tabrino_header_library(CLI11::CLI11 CLI CLI.hpp)
endif()

if(TABRINO_BUILD_TESTS)
  find_package(GTest CONFIG QUIET)
  if(NOT TARGET GTest::gtest_main)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(TABRINO_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
    add_subdirectory(${TABRINO_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
endif()
