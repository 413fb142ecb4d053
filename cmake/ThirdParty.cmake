# CLI11, fast_float, nlohmann-json, Boost's headers and GoogleTest come from Debian's packages
# (libcli11-dev, libfast-float-dev, nlohmann-json3-dev, libboost-dev, googletest/libgtest-dev), found through the
# CMake package files those packages ship.
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

# Boost.Geometry's R-tree indexes a region's edges; only headers are used.
find_package(Boost CONFIG QUIET)
if(NOT TARGET Boost::headers)
  tabrino_header_library(Boost::headers boost version.hpp)
endif()

find_package(CLI11 CONFIG QUIET)
if(NOT TARGET CLI11::CLI11)
  tabrino_header_library(CLI11::CLI11 CLI CLI.hpp)
endif()

# libosmium and protozero (libosmium2-dev, libprotozero-dev) read
# OpenStreetMap extracts; header-only, through the private folder too. PBF
# needs zlib (libz-mingw-w64-dev, linked statically, on Windows); XML needs
# expat and .osm.bz2 bzip2, which a build without them does without: it then
# says that it reads only .osm.pbf.
tabrino_header_library(Osmium::osmium osmium osm.hpp)
tabrino_header_library(Protozero::protozero protozero pbf_reader.hpp)
find_package(ZLIB REQUIRED)
find_package(EXPAT QUIET)
find_package(BZip2 QUIET)
# The Windows build compiles Debian's expat sources (apt-get source expat,
# which scripts/install-deps.sh --windows fetches here) with its own
# toolchain, as a static library: GPX, KML and .osm XML then read there too.
set(TABRINO_EXPAT_SOURCE_DIR /usr/local/src/tabrino/expat CACHE PATH
    "Debian's expat sources (the package's expat/ folder), built for Windows")
if(WIN32 AND NOT EXPAT_FOUND AND EXISTS ${TABRINO_EXPAT_SOURCE_DIR}/CMakeLists.txt)
  foreach(part TOOLS EXAMPLES TESTS DOCS PKGCONFIG)
    set(EXPAT_BUILD_${part} OFF CACHE BOOL "" FORCE)
  endforeach()
  set(EXPAT_SHARED_LIBS OFF CACHE BOOL "" FORCE)
  set(EXPAT_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
  # No DTDs: none of the formats has one, and Debian's patched sources test
  # XML_DTD as autotools defines it, not as their CMake project does.
  set(EXPAT_DTD OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TABRINO_EXPAT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/third_party/expat EXCLUDE_FROM_ALL)
  add_library(EXPAT::EXPAT ALIAS expat)
  set(EXPAT_FOUND TRUE)
  message(STATUS "expat for GPX, KML and .osm XML: built from ${TABRINO_EXPAT_SOURCE_DIR}")
endif()
add_library(tabrino_osmium INTERFACE)
target_link_libraries(tabrino_osmium INTERFACE Osmium::osmium Protozero::protozero ZLIB::ZLIB)
if(EXPAT_FOUND)
  target_link_libraries(tabrino_osmium INTERFACE EXPAT::EXPAT)
  # The core reads GPX and KML with the same expat.
  target_compile_definitions(tabrino_osmium INTERFACE TABRINO_OSM_XML TABRINO_EXPAT)
  if(BZIP2_FOUND)
    target_link_libraries(tabrino_osmium INTERFACE BZip2::BZip2)
    target_compile_definitions(tabrino_osmium INTERFACE TABRINO_OSM_BZIP2)
  endif()
endif()

# Leaflet, for the interactive map page (cmake/Leaflet.cmake): plain files,
# the same for both platforms.
include(${CMAKE_CURRENT_LIST_DIR}/Leaflet.cmake)
tabrino_default_leaflet_dir(leaflet_default)
set(TABRINO_LEAFLET_DIR "${leaflet_default}" CACHE PATH
    "Folder with Leaflet's leaflet.js and leaflet.css (Debian's libjs-leaflet where installed); empty: npm")
set(TABRINO_LEAFLET_LICENSE "" CACHE FILEPATH
    "Leaflet's license text (default: LICENSE in TABRINO_LEAFLET_DIR, or Debian's copyright file)")
option(TABRINO_LEAFLET_NPM "Without TABRINO_LEAFLET_DIR, install Leaflet with npm ci (needs the npm registry)" ON)
set(leaflet_npm "")
if(NOT TABRINO_LEAFLET_DIR AND TABRINO_LEAFLET_NPM)
  find_program(TABRINO_NPM npm)
  set(leaflet_npm ${TABRINO_NPM})
endif()
tabrino_choose_leaflet("${TABRINO_LEAFLET_DIR}" "${TABRINO_LEAFLET_LICENSE}" "${leaflet_npm}")
if(TABRINO_LEAFLET_PROBLEM)
  message(FATAL_ERROR "${TABRINO_LEAFLET_PROBLEM}")
endif()
if(TABRINO_LEAFLET_FROM STREQUAL "npm")
  # npm ci runs in the build folder, never in the source tree (core/CMakeLists.txt).
  set(TABRINO_LEAFLET_NPM_DIR ${CMAKE_BINARY_DIR}/third_party/leaflet)
  set(TABRINO_LEAFLET_JS ${TABRINO_LEAFLET_NPM_DIR}/node_modules/leaflet/dist/leaflet.js)
  set(TABRINO_LEAFLET_CSS ${TABRINO_LEAFLET_NPM_DIR}/node_modules/leaflet/dist/leaflet.css)
  set(TABRINO_LEAFLET_LICENSE_FILE ${TABRINO_LEAFLET_NPM_DIR}/node_modules/leaflet/LICENSE)
  message(STATUS "Leaflet for the map page: npm ci, at the version third_party/leaflet pins")
elseif(TABRINO_LEAFLET_FROM STREQUAL "folder")
  message(STATUS "Leaflet for the map page: ${TABRINO_LEAFLET_DIR} (license: ${TABRINO_LEAFLET_LICENSE_FILE})")
elseif(WIN32)
  # The dialog writes the page and the zip carries Leaflet's license.
  message(FATAL_ERROR "The Windows programs need Leaflet: install Debian's libjs-leaflet, or npm, "
                      "or give its folder as TABRINO_LEAFLET_DIR")
else()
  message(WARNING "No Leaflet (libjs-leaflet, TABRINO_LEAFLET_DIR or npm): tabrino is built without the "
                  "interactive map page, and tabrino map writes only the SVG picture")
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
