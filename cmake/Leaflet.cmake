# Where the interactive map page's library, Leaflet, comes from. The same
# choice serves the Linux and the Windows build:
#   1. TABRINO_LEAFLET_DIR, a folder holding leaflet.js and leaflet.css, with
#      TABRINO_LEAFLET_LICENSE its license text. By default Debian's
#      libjs-leaflet (/usr/share/javascript/leaflet, and its copyright file
#      for the license) where it is installed: a build that needs no network.
#   2. Else, with TABRINO_LEAFLET_NPM on and npm found, `npm ci` installs the
#      version that third_party/leaflet pins (this needs the npm registry).
#   3. Else the programs are built without the page: `tabrino map` writes only
#      the SVG picture and says so when asked for the page.
set(TABRINO_DEBIAN_LEAFLET_DIR /usr/share/javascript/leaflet)
set(TABRINO_DEBIAN_LEAFLET_LICENSE /usr/share/doc/libjs-leaflet/copyright)

# tabrino_choose_leaflet(DIR LICENSE NPM): the decision, as variables of the
# caller's scope: TABRINO_LEAFLET_FROM (folder, npm or none), and for a
# folder TABRINO_LEAFLET_JS, TABRINO_LEAFLET_CSS and TABRINO_LEAFLET_LICENSE_FILE;
# TABRINO_LEAFLET_PROBLEM says what is wrong with a folder given, else empty.
# NPM is npm's path, empty or NOTFOUND when it is not to be used. Kept apart
# from the cache so that tests/leaflet_choice_test.cmake can run it alone.
function(tabrino_choose_leaflet dir license npm)
  set(from none)
  set(problem "")
  if(dir)
    set(from folder)
    if(NOT license)
      if(EXISTS ${dir}/LICENSE)
        set(license ${dir}/LICENSE)
      elseif(dir STREQUAL TABRINO_DEBIAN_LEAFLET_DIR AND EXISTS ${TABRINO_DEBIAN_LEAFLET_LICENSE})
        set(license ${TABRINO_DEBIAN_LEAFLET_LICENSE})
      endif()
    endif()
    foreach(file ${dir}/leaflet.js ${dir}/leaflet.css)
      if(NOT EXISTS ${file})
        string(APPEND problem "TABRINO_LEAFLET_DIR: ${file} not found. ")
      endif()
    endforeach()
    if(NOT license)
      string(APPEND problem "TABRINO_LEAFLET_LICENSE: give the file of Leaflet's license (no LICENSE in ${dir}). ")
    elseif(NOT EXISTS ${license})
      string(APPEND problem "TABRINO_LEAFLET_LICENSE: ${license} not found. ")
    endif()
  elseif(npm)
    set(from npm)
  endif()
  set(TABRINO_LEAFLET_FROM ${from} PARENT_SCOPE)
  set(TABRINO_LEAFLET_JS ${dir}/leaflet.js PARENT_SCOPE)
  set(TABRINO_LEAFLET_CSS ${dir}/leaflet.css PARENT_SCOPE)
  set(TABRINO_LEAFLET_LICENSE_FILE "${license}" PARENT_SCOPE)
  string(STRIP "${problem}" problem)
  set(TABRINO_LEAFLET_PROBLEM "${problem}" PARENT_SCOPE)
endfunction()

# The default folder: Debian's, where it is installed.
function(tabrino_default_leaflet_dir out)
  if(EXISTS ${TABRINO_DEBIAN_LEAFLET_DIR}/leaflet.js)
    set(${out} ${TABRINO_DEBIAN_LEAFLET_DIR} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()
