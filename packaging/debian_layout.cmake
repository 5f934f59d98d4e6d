# Run by CPack on the staged files before it makes a package: a .deb lays
# the game out as Debian lays out games (the programs in /usr/games, the data
# in /usr/share/games/turfwar), however the build was configured. The
# programs look for their data in either layout, beside themselves. The
# font is not carried: the package depends on fonts-dejavu-core and links to
# its copy, as Debian wants of a font it already ships.
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
# The server's unit names the server where the package puts it.
set(unit ${usr}/lib/systemd/system/turfwar-server.service)
if(EXISTS ${unit})
  file(READ ${unit} text)
  string(REGEX REPLACE "\nExecStart=[^ \n]*turfwar-server" "\nExecStart=${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_TURFWAR_DEBIAN_BINDIR}/turfwar-server" text "${text}")
  file(WRITE ${unit} "${text}")
endif()
set(font ${usr}/${CPACK_TURFWAR_DEBIAN_DATADIR}/font/DejaVuSans.ttf)
if(EXISTS ${font})
  get_filename_component(font_dir ${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_TURFWAR_DEBIAN_DATADIR}/font ABSOLUTE)
  file(RELATIVE_PATH target ${font_dir} ${CPACK_TURFWAR_SYSTEM_FONT})
  file(REMOVE ${font})
  file(CREATE_LINK ${target} ${font} SYMBOLIC)
endif()
