# Run by CPack on the staged files before it makes a package: a .deb lays
# the game out as Debian lays out games (the programs in /usr/games, the data
# in /usr/share/games/turfwar), however the build was configured. The
# programs look for their data in either layout, beside themselves.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
# The layouts are those of cmake/install.cmake, handed over as CPACK_TURFWAR_*.
set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
foreach(kind BINDIR DATADIR)
  set(from ${usr}/${CPACK_TURFWAR_INSTALL_${kind}})
  set(to ${usr}/${CPACK_TURFWAR_DEBIAN_${kind}})
  if(NOT from STREQUAL to AND IS_DIRECTORY ${from})
    get_filename_component(parent ${to} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(RENAME ${from} ${to})
  endif()
endforeach()
