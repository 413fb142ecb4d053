# Header-only libraries come from the host's packages (libfast-float-dev,
# libcli11-dev). The host's /usr/include must never reach a cross build (it
# would drag glibc headers into a Windows build), so each library's own folder
# is exposed through a private include directory of links instead.
set(TABRINO_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${TABRINO_THIRD_PARTY_INCLUDE})

function(tabrino_header_library target folder probe)
  find_path(${target}_ROOT ${folder}/${probe}
            PATHS /usr/include /usr/local/include
            NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(NOT ${target}_ROOT)
    message(FATAL_ERROR "${folder}/${probe} not found: install the Debian package that provides it")
  endif()
  file(CREATE_LINK ${${target}_ROOT}/${folder} ${TABRINO_THIRD_PARTY_INCLUDE}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${TABRINO_THIRD_PARTY_INCLUDE})
endfunction()

tabrino_header_library(fast_float fast_float fast_float.h)
tabrino_header_library(cli11 CLI CLI.hpp)
