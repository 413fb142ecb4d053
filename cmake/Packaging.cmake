# What `cmake --install` puts in place, and the packages made from it:
#   Linux:   cpack -G DEB   bin/tabrino, its manual page, bash completion, README, LICENSE
#   Windows: cpack -G ZIP   Tabrino.exe, tabrino-cli.exe, README, LICENSE
set(CPACK_PACKAGE_NAME tabrino)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})  # all four parts
set(CPACK_PACKAGE_VENDOR "Tabrino")
set(CPACK_PACKAGE_CONTACT "Tabrino developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns speed-camera lists into camera database files (DB_YYMMDD.dbh)")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)

if(WIN32)
  # One folder to unpack anywhere; the programs need nothing else installed.
  install(TARGETS Tabrino tabrino RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
else()
  install(TARGETS tabrino RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The manual page carries the version, and is installed compressed, as
  # Debian's man pages are.
  configure_file(docs/tabrino.1 ${PROJECT_BINARY_DIR}/docs/tabrino.1 @ONLY)
  file(ARCHIVE_CREATE OUTPUT ${PROJECT_BINARY_DIR}/docs/tabrino.1.gz PATHS ${PROJECT_BINARY_DIR}/docs/tabrino.1
       FORMAT raw COMPRESSION GZip)
  install(FILES ${PROJECT_BINARY_DIR}/docs/tabrino.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES cli/tabrino.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME tabrino)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tabrino)

  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # libc6, libstdc++6, libgcc-s1 at the versions the build used
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tabrino converts comma-separated speed-camera lists into the DB_YYMMDD.dbh
files that navigation devices load, checks such files byte by byte, and
writes their records back as lists.")
endif()
include(CPack)
