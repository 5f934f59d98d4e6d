# Debian's hardening flags (dpkg-buildflags with hardening=+all) on every
# target of an optimised build, so the programs in the .deb carry them as
# Debian's own packages do: fortified libc calls, a stack protector, relro and
# immediate binding. Only the hardening flags are taken, never -O or -g: the
# configured optimisation stays, and with it every replay's digest. A Debug or
# sanitizer build is left alone (_FORTIFY_SOURCE needs optimisation, and the
# sanitizers bring their own checks).
option(TURFWAR_HARDENING "Build with Debian's hardening flags (optimised builds without sanitizers)" ON)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(TURFWAR_HARDENING AND DPKG_BUILDFLAGS AND NOT TURFWAR_SANITIZE AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  set(hardening_compile)
  set(hardening_link)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      continue()
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag ${flags})
      if(flag MATCHES "^-D_FORTIFY_SOURCE")
        # A compiler that already defines it would warn of a redefinition.
        list(APPEND hardening_compile -U_FORTIFY_SOURCE ${flag})
      elseif(flag MATCHES "^-f(stack-protector|stack-clash-protection|cf-protection)")
        list(APPEND hardening_compile ${flag})
      elseif(flag MATCHES "^-Wl,-z,")
        list(APPEND hardening_link ${flag})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES hardening_compile)
  add_compile_options(${hardening_compile})
  add_link_options(${hardening_link})
  message(STATUS "Hardening: ${hardening_compile} ${hardening_link}")
endif()
