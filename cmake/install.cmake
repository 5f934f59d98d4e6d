# Installing and packaging the way distribution games are: GNUInstallDirs (or
# Debian's games layout), the data the build prepares, a desktop entry, icons
# drawn from the game's own car, AppStream metainfo, man pages made by
# help2man from each program's --help, and a .deb through CPack.
include(GNUInstallDirs)

option(TURFWAR_DEBIAN_LAYOUT "Install as Debian installs games: programs in games/, data in share/games/turfwar" OFF)
set(TURFWAR_APP_ID "org.turfwar.turfwar" CACHE STRING "AppStream component id (reverse domain name)")
set(TURFWAR_SCREENSHOT_URL "https://turfwar.example.org/docs" CACHE STRING
    "Where the screenshots in docs/ are published, for the metainfo")
set(TURFWAR_PACKAGE_MAINTAINER "Turfwar maintainers <maintainers@users.noreply.c-seed-0a6ff24c.example>" CACHE STRING
    "Maintainer field of the .deb")

# This release, for the metainfo and the package's changelog.
set(TURFWAR_RELEASE_DATE 2026-12-09)
set(TURFWAR_RELEASE_DATE_RFC2822 "Wed, 09 Dec 2026 00:00:00 +0000")

# The two layouts, relative to the prefix; everything else (the data search
# in app/data_folder.cpp, the package's move to Debian's layout) is derived
# from these four.
set(TURFWAR_GNU_BINDIR ${CMAKE_INSTALL_BINDIR})
set(TURFWAR_GNU_DATADIR ${CMAKE_INSTALL_DATAROOTDIR}/turfwar)
set(TURFWAR_DEBIAN_BINDIR games)
set(TURFWAR_DEBIAN_DATADIR ${CMAKE_INSTALL_DATAROOTDIR}/games/turfwar)
if(TURFWAR_DEBIAN_LAYOUT)
  set(TURFWAR_INSTALL_BINDIR ${TURFWAR_DEBIAN_BINDIR})
  set(TURFWAR_INSTALL_DATADIR ${TURFWAR_DEBIAN_DATADIR})
else()
  set(TURFWAR_INSTALL_BINDIR ${TURFWAR_GNU_BINDIR})
  set(TURFWAR_INSTALL_DATADIR ${TURFWAR_GNU_DATADIR})
endif()
set(TURFWAR_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/turfwar)

# The programs find the data relative to themselves, so the install works
# under any prefix (and DESTDIR) without a path built in: the configured
# layout first, then either layout (a package is always in Debian's), then
# the folder the build prepares next to the executables it makes.
set(data_from_bin)
set(data_below_root)
foreach(layout INSTALL GNU DEBIAN)
  file(RELATIVE_PATH relative /prefix/${TURFWAR_${layout}_BINDIR} /prefix/${TURFWAR_${layout}_DATADIR})
  list(APPEND data_from_bin "\"${relative}\"")
  file(RELATIVE_PATH relative /prefix/${CMAKE_INSTALL_DATAROOTDIR} /prefix/${TURFWAR_${layout}_DATADIR})
  list(APPEND data_below_root "\"${relative}\"")
endforeach()
file(RELATIVE_PATH relative ${CMAKE_BINARY_DIR} ${TURFWAR_GAME_DIR})
list(APPEND data_from_bin "\"${relative}\"")
list(JOIN data_from_bin "," data_from_bin)
list(JOIN data_below_root "," data_below_root)
target_compile_definitions(turfwar_app PRIVATE "TURFWAR_DATA_FROM_BINDIR=${data_from_bin}"
                                               "TURFWAR_DATA_BELOW_DATAROOT=${data_below_root}")

# --- The icon: the car as the game draws it, rendered headless from the prepared data.
find_package(PNG REQUIRED)
set(TURFWAR_ICON_SIZES 48 64 128 256)
set(icon_dir ${CMAKE_BINARY_DIR}/icons)
set(icon_files)
foreach(size ${TURFWAR_ICON_SIZES})
  list(APPEND icon_files ${icon_dir}/turfwar-${size}.png)
endforeach()
add_executable(turfwar-render-icon tools/icon/render_icon.cpp)
target_compile_options(turfwar-render-icon PRIVATE ${TURFWAR_WARNINGS})
target_include_directories(turfwar-render-icon PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(turfwar-render-icon PRIVATE turfwar_core turfwar_png ${GLU_LIBRARY})
# Mesa's software driver leaks by design on every context it makes: a
# sanitizer build must not fail on it here (the tests leave leaks to valgrind).
add_custom_command(OUTPUT ${icon_files}
  COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:turfwar-render-icon> ${TURFWAR_GAME_DIR} ${icon_dir} ${TURFWAR_ICON_SIZES}
  DEPENDS turfwar-render-icon game_data ${CMAKE_SOURCE_DIR}/data/car.txt
  COMMENT "Drawing the icon from the game's car" VERBATIM)
add_custom_target(icons ALL DEPENDS ${icon_files})

# --- Man pages, from each program's --help (help2man; none is kept by hand).
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
set(man_dir ${CMAKE_BINARY_DIR}/man)
set(man_pages)
# NAME SECTION "one-line description"
function(turfwar_man_page program section description)
  set(page ${man_dir}/${program}.${section})
  # gzip -n: no name or time stamp inside, so the page is the same on every build.
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=offscreen
            ${HELP2MAN} --no-info --no-discard-stderr --section=${section} --name=${description}
            --version-string=${PROJECT_VERSION} --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${program}
    COMMENT "Making the man page ${program}(${section})" VERBATIM)
  set(man_pages ${man_pages} ${page}.gz PARENT_SCOPE)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
turfwar_man_page(turfwar-replay 1 "run Turfwar headless from a script")
turfwar_man_page(turfwar-datagen 1 "write Turfwar's default game data")
turfwar_man_page(turfwar-inspect 1 "show what Turfwar's loaders read from a model or image file")
turfwar_man_page(turfwar-soakgen 1 "write a seeded random-play script for turfwar-replay")
turfwar_man_page(turfwar-server 6 "Turfwar's dedicated network server")
turfwar_man_page(turfwar 6 "walk, shoot and drive in a walled arena")
add_custom_target(man_pages ALL DEPENDS ${man_pages})

# --- Metainfo, with the component id and where the screenshots are published.
set(TURFWAR_METAINFO ${CMAKE_BINARY_DIR}/${TURFWAR_APP_ID}.metainfo.xml)
configure_file(packaging/turfwar.metainfo.xml.in ${TURFWAR_METAINFO} @ONLY)

# --- Debian's package documentation: the copyright file and a changelog.
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)

# --- What is installed.
# Folders made by the install read as every system folder does, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS turfwar turfwar-replay turfwar-datagen turfwar-inspect turfwar-soakgen turfwar-server
        RUNTIME DESTINATION ${TURFWAR_INSTALL_BINDIR})
# The server's systemd unit, written at install time when the prefix is
# known, naming the server where this install puts it (a package's staged
# copy is pointed at Debian's layout in packaging/debian_layout.cmake).
# Installed, never enabled.
install(CODE "set(TURFWAR_SERVER_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${TURFWAR_INSTALL_BINDIR}/turfwar-server\")
configure_file(\"${CMAKE_SOURCE_DIR}/packaging/turfwar-server.service.in\"
               \"${CMAKE_BINARY_DIR}/packaging/unit/turfwar-server.service\" @ONLY)
file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\" TYPE FILE
     FILES \"${CMAKE_BINARY_DIR}/packaging/unit/turfwar-server.service\")")
# The source folder's .gitkeep comes along into the prepared data; it is no data.
install(DIRECTORY ${TURFWAR_GAME_DIR}/ DESTINATION ${TURFWAR_INSTALL_DATADIR} PATTERN .gitkeep EXCLUDE)
# The desktop entry is written at install time, when the prefix is known: a
# desktop starts Exec without the user's shell, so a program outside the
# standard PATH folders (--prefix ~/.local or /opt/turfwar) is named by its
# absolute path. Under a standard folder (a .deb's /usr) it stays "turfwar",
# as Debian expects.
install(CODE "set(TURFWAR_DESKTOP_TEMPLATE \"${CMAKE_SOURCE_DIR}/packaging/turfwar.desktop.in\")
set(TURFWAR_DESKTOP_STAGE \"${CMAKE_BINARY_DIR}/packaging/desktop\")
set(TURFWAR_DESKTOP_BINDIR \"${TURFWAR_INSTALL_BINDIR}\")
set(TURFWAR_DESKTOP_DESTINATION \"${CMAKE_INSTALL_DATAROOTDIR}/applications\")")
install(SCRIPT packaging/desktop_entry.cmake)
foreach(size ${TURFWAR_ICON_SIZES})
  install(FILES ${icon_dir}/turfwar-${size}.png DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          RENAME turfwar.png)
endforeach()
install(FILES ${TURFWAR_METAINFO} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${TURFWAR_INSTALL_DOCDIR})

# --- The .deb: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME turfwar)
set(CPACK_PACKAGE_VENDOR "Turfwar")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TURFWAR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arena action game with drivable physics cars")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TURFWAR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps adds the libraries to this; the font is linked, not carried.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description below the summary; CPack indents it as control files want.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Turfwar is a small real-time 3D action-and-driving game. Walk a walled
grass arena under a sky dome, look around with the mouse, shoot a hand gun
that aims itself, climb into either of two physically simulated cars,
drive, shoot the car's gun, and knock the wheels off the other car.

The package also holds the game's tools: turfwar-replay (the game run
headless from a script), turfwar-datagen, turfwar-inspect,
turfwar-soakgen, and turfwar-server, the dedicated network server with
its systemd unit (installed, not enabled).")
# A package is always laid out as Debian lays out games, however this build
# was configured: the staged files are moved before the package is made.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/debian_layout.cmake)
foreach(dir INSTALL_BINDIR INSTALL_DATADIR DEBIAN_BINDIR DEBIAN_DATADIR)
  set(CPACK_TURFWAR_${dir} ${TURFWAR_${dir}})
endforeach()
# Where fonts-dejavu-core puts the font the data's font/DejaVuSans.ttf links to.
set(CPACK_TURFWAR_SYSTEM_FONT /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
include(CPack)
