# The hardening Debian builds its own packages with, for every optimised
# build type (Release, RelWithDebInfo, MinSizeRel; the Debian package is made
# from such a build): the compiler and linker flags of dpkg-buildflags with
# all its hardening features on, that is fortified libc calls
# (-D_FORTIFY_SOURCE=2), -fstack-protector-strong, format checks, read-only
# relocations bound at start (-Wl,-z,relro,-z,now) and position-independent
# executables. Optimisation and debug information stay the build type's
# choice. Debug builds go without (fortification needs the optimiser), and
# so do the checked builds, whose sanitizers watch the same calls.

option(VANTEL_HARDENING "Build optimised builds with Debian's hardening flags (dpkg-buildflags)" ON)
# Whether this build is hardened, for the test of the package made from it.
set(VANTEL_HARDENED OFF)

if(VANTEL_HARDENING AND NOT VANTEL_SANITIZE AND NOT VANTEL_FUZZ)
  find_program(VANTEL_DPKG_BUILDFLAGS dpkg-buildflags DOC "dpkg-buildflags (Debian package dpkg-dev)")
  if(NOT VANTEL_DPKG_BUILDFLAGS)
    message(WARNING "dpkg-buildflags not found (package dpkg-dev): building without Debian's hardening flags")
  else()
    # Paths stay as they are in the debug information: the build tree is
    # not moved.
    set(ENV{DEB_BUILD_MAINT_OPTIONS} "hardening=+all reproducible=-fixfilepath,-fixdebugpath")
    foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND "${VANTEL_DPKG_BUILDFLAGS}" --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
      endif()
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(FILTER flags EXCLUDE REGEX "^-(g|O[0-9s]?)$")
      set(deb_${kind} ${flags})
    endforeach()
    list(JOIN deb_CPPFLAGS " " shown_cpp)
    list(JOIN deb_CXXFLAGS " " shown_cxx)
    list(JOIN deb_LDFLAGS " " shown_ld)
    message(STATUS "Hardening of optimised builds: ${shown_cpp} ${shown_cxx} ${shown_ld}")

    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    add_compile_options(
      "$<${optimised}:${deb_CPPFLAGS}>"
      "$<$<AND:${optimised},$<COMPILE_LANGUAGE:C>>:${deb_CFLAGS}>"
      "$<$<AND:${optimised},$<COMPILE_LANGUAGE:CXX>>:${deb_CXXFLAGS}>")
    add_link_options("$<${optimised}:${deb_LDFLAGS}>")
    # Executables are linked as PIE too (CMP0083), not only compiled so.
    include(CheckPIESupported)
    check_pie_supported()
    if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
      set(VANTEL_HARDENED ON)
    endif()
  endif()
endif()
