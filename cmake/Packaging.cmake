# What `cmake --install` puts in place, and the packages made from it:
#   Linux:   cpack -G DEB   bin/tabrino, its manual page, bash completion, and in
#                           share/doc/tabrino a README for users (docs/README-linux.md),
#                           copyright, changelog.Debian and the examples/ folder
#   Windows: cpack -G ZIP   Tabrino.exe, tabrino-cli.exe, README.txt (for Windows
#                           users), manual.html, LICENSE.txt, LICENSE-leaflet.txt
#                           and the examples/ folder
set(TABRINO_MAINTAINER "Tabrino developers <tabrino@example.org>" CACHE STRING
    "Who answers for the packages, as 'Name <address>'")
set(CPACK_PACKAGE_NAME tabrino)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})  # all four parts
set(CPACK_PACKAGE_VENDOR "Tabrino")
set(CPACK_PACKAGE_CONTACT "${TABRINO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns speed-camera lists into camera database files (DB_YYMMDD.dbh)")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)

# The manual page carries the version, on both platforms.
set(tabrino_docs ${PROJECT_BINARY_DIR}/docs)
configure_file(docs/tabrino.1 ${tabrino_docs}/tabrino.1 @ONLY)

if(WIN32)
  # One folder to unpack anywhere; the programs need nothing else installed.
  # Its texts are Windows text (CRLF), for Notepad; the manual is the same page
  # as HTML, for a browser, since Windows has no man.
  # Made when configuring, as the page itself is (a change to the page
  # configures again), so that it is there for any target.
  # The page as Windows has it: the command is tabrino-cli, and the lines
  # between `.\" unix{` and `.\" }` (Unix paths, /usr/share/doc) give way to
  # those that begin `.\"win ` (comments on Unix).
  file(READ ${tabrino_docs}/tabrino.1 page)
  string(REGEX REPLACE "\\.\\\\\" unix{\n[^}]*\\.\\\\\" }\n" "" page "${page}")
  string(REPLACE ".\\\"win " "" page "${page}")
  string(REPLACE ".SY tabrino\n" ".SY tabrino\\-cli\n" page "${page}")
  if(page MATCHES "/usr/share|/media/|unix{")
    message(FATAL_ERROR "docs/tabrino.1: a Unix-only line is outside a `.\\\" unix{` block")
  endif()
  file(WRITE ${tabrino_docs}/tabrino-windows.1 "${page}")
  find_program(TABRINO_MANDOC mandoc REQUIRED)
  execute_process(COMMAND ${TABRINO_MANDOC} -T html -man ${tabrino_docs}/tabrino-windows.1
                  OUTPUT_FILE ${tabrino_docs}/manual.html COMMAND_ERROR_IS_FATAL ANY)
  # The title's underline, as long as the title with the version in it.
  string(LENGTH "Tabrino ${PROJECT_VERSION} for Windows" title_length)
  string(REPEAT "=" ${title_length} TABRINO_README_TITLE_RULE)
  configure_file(docs/README-windows.txt ${tabrino_docs}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${tabrino_docs}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

  install(TARGETS Tabrino tabrino RUNTIME DESTINATION .)
  install(FILES ${tabrino_docs}/README.txt ${tabrino_docs}/manual.html ${tabrino_docs}/LICENSE.txt DESTINATION .)
  # The map page's Leaflet is built into the programs (cmake/Leaflet.cmake).
  install(FILES ${TABRINO_LEAFLET_LICENSE_FILE} DESTINATION .
          RENAME LICENSE-leaflet.txt)
  # Whatever lists examples/ holds, as they are (the programs read either line ending).
  install(DIRECTORY examples/ DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
else()
  # The Debian revision: the package is 1.0.0.1-1, a package of the upstream
  # version, and so, as Debian's own are, has its changelog as changelog.Debian.
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(tabrino_deb_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
  # The changelog's latest entry is the version being packaged.
  file(STRINGS cmake/debian/changelog.in changelog_top LIMIT_COUNT 1)
  if(NOT changelog_top MATCHES "^tabrino \\(${tabrino_deb_version}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog.in: its latest entry, '${changelog_top}', is not "
                        "version ${tabrino_deb_version}: add an entry for this version at its top")
  endif()
  configure_file(cmake/debian/changelog.in ${tabrino_docs}/changelog.Debian @ONLY)

  # Compressed as Debian's are: gzip -9, and -n for no name or timestamp, so
  # that the same sources give the same package. Made when configuring, as the
  # page itself is, so that `cmake --install` finds them after any target.
  execute_process(COMMAND gzip -9nkf ${tabrino_docs}/tabrino.1 ${tabrino_docs}/changelog.Debian
                  COMMAND_ERROR_IS_FATAL ANY)

  install(TARGETS tabrino RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # strip (CPACK_STRIP_FILES) leaves the compilers' .comment notes, which
  # Debian's packages do not carry (lintian: binary-has-unneeded-section).
  install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tabrino\"
                  COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${tabrino_docs}/tabrino.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES cli/tabrino.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME tabrino)
  # The license is in copyright, as Debian has it. The README is one for those
  # who installed the package, not the developers' README.md.
  install(FILES docs/README-linux.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tabrino RENAME README.md)
  install(FILES cmake/debian/copyright ${tabrino_docs}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tabrino)
  # Whatever lists examples/ holds.
  install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tabrino/examples)
  install(FILES cmake/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME tabrino)

  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # libc6, libstdc++6, libgcc-s1 at the versions the build used
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tabrino converts comma-separated speed-camera lists into the DB_YYMMDD.dbh
files that navigation devices load. Its commands: convert (lists to a
database, with filters by area, type and speed), inspect (checks a database
byte by byte), dump (a database back to a list or GPX), map (the cameras as
a picture or a map page), diff (what changed between lists or databases)
and from-osm (the cameras of an OpenStreetMap extract as a list).")
endif()
include(CPack)
