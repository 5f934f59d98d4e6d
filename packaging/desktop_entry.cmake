# Run by the install (cmake/install.cmake sets the TURFWAR_DESKTOP_* names):
# writes the desktop entry with the Exec line the prefix needs and installs it.
set(program "${CMAKE_INSTALL_PREFIX}/${TURFWAR_DESKTOP_BINDIR}/turfwar")
cmake_path(NORMAL_PATH program)
get_filename_component(bindir "${program}" DIRECTORY)
# The folders every desktop session has on its PATH.
set(standard_path_folders /usr/local/bin /usr/local/games /usr/bin /usr/games /bin)
# (list(FIND): the install runs this without the project's policies.)
list(FIND standard_path_folders "${bindir}" standard)
if(standard GREATER -1)
  set(TURFWAR_EXEC turfwar)
elseif(program MATCHES "^[A-Za-z0-9/._+-]+$")
  set(TURFWAR_EXEC "${program}")
else()
  # The desktop entry rules: quote an argument with reserved characters,
  # backslash the four that stay special inside the quotes, then escape the
  # backslashes again for the string value, and double a field code's '%'.
  string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" quoted "${program}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(TURFWAR_EXEC "\"${quoted}\"")
endif()
configure_file("${TURFWAR_DESKTOP_TEMPLATE}" "${TURFWAR_DESKTOP_STAGE}/turfwar.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${TURFWAR_DESKTOP_DESTINATION}" TYPE FILE
     FILES "${TURFWAR_DESKTOP_STAGE}/turfwar.desktop")
