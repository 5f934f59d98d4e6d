# Run by CPack on the staged files before it makes a package: a .deb lays
# the game out as Debian lays out games (the programs in /usr/games, the data
# in /usr/share/games/turfwar), however the build was configured. The
# programs look for their data in either layout, beside themselves.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(IS_DIRECTORY ${usr}/bin)
  file(RENAME ${usr}/bin ${usr}/games)
endif()
if(IS_DIRECTORY ${usr}/share/turfwar)
  file(MAKE_DIRECTORY ${usr}/share/games)
  file(RENAME ${usr}/share/turfwar ${usr}/share/games/turfwar)
endif()
