# Installing Vantel as a Linux desktop program, and its Debian package.
#
#   bin/vantel                                   the program
#   lib/vantel/libhelvex1.so, libxzip.so         its libraries, found through
#                                                the run path $ORIGIN/../lib/vantel
#   lib/vantel/libhelvex1print.so                libhelvex1's printer part, which
#                                                it loads from beside itself
#   share/applications/<id>.desktop              menu entry: vantel --user-folder
#   share/metainfo/<id>.metainfo.xml             AppStream description
#   share/icons/hicolor/{scalable,NxN}/apps/<id> icons, PNGs drawn from art/icon.svg
#   share/man/man1/vantel.1.gz                   manual page
#   share/doc/vantel/help/                       the help pages, also readable
#                                                without the program
#   share/doc/vantel/copyright, changelog.gz     the licence (machine-readable)
#                                                and the release's changelog
#
# Pictures, help pages and the settings template are built into the program,
# so the installed program needs nothing else from share/.

include(GNUInstallDirs)

set(VANTEL_ID "example.townwhatson.Vantel")
set(VANTEL_INSTALL_LIBDIR "lib/vantel")
set(res "${PROJECT_SOURCE_DIR}/resources")
set(desktop_dir "${PROJECT_BINARY_DIR}/desktop")

# Run paths: next to each other in the build tree, bin/ and lib/vantel/ once
# installed. The libraries load each other from their own folder.
set_target_properties(vantel PROPERTIES INSTALL_RPATH "$ORIGIN/../${VANTEL_INSTALL_LIBDIR}")
set_target_properties(helvex1 helvex1print xzip PROPERTIES INSTALL_RPATH "$ORIGIN")

# The installed copies are relinked with those run paths (see
# CMAKE_NO_BUILTIN_CHRPATH), by the build's preinstall step. make install and
# cpack run it themselves; cmake --install does not, so it runs it here.
install(CODE "
  execute_process(COMMAND \"${CMAKE_COMMAND}\" --build \"${PROJECT_BINARY_DIR}\" --target preinstall
                  OUTPUT_QUIET RESULT_VARIABLE relinked)
  if(NOT relinked EQUAL 0)
    message(FATAL_ERROR \"Relinking Vantel with its installed run paths failed: cmake --build ${PROJECT_BINARY_DIR} --target preinstall\")
  endif()")
install(TARGETS vantel RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS helvex1 helvex1print xzip LIBRARY DESTINATION "${VANTEL_INSTALL_LIBDIR}")

# Icons in the sizes desktops ask for.
set(icon_sizes 16 24 32 48 64 128 256 512)
set(icons "")
foreach(size IN LISTS icon_sizes)
  set(png "${desktop_dir}/icons/${size}x${size}/${VANTEL_ID}.png")
  add_custom_command(OUTPUT "${png}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${desktop_dir}/icons/${size}x${size}"
    COMMAND "${VANTEL_RSVG_CONVERT}" --width ${size} --height ${size} --output "${png}" "${res}/art/icon.svg"
    DEPENDS "${res}/art/icon.svg"
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  list(APPEND icons "${png}")
  install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
add_custom_target(vantel_icons ALL DEPENDS ${icons})
install(FILES "${res}/art/icon.svg" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
  RENAME "${VANTEL_ID}.svg")

# The metainfo names the screenshot as the home page publishes it, with the
# size of resources/screenshots/main-window.png (from its PNG header).
file(READ "${res}/screenshots/main-window.png" png_size OFFSET 16 LIMIT 8 HEX)
string(SUBSTRING "${png_size}" 0 8 screenshot_width)
string(SUBSTRING "${png_size}" 8 8 screenshot_height)
math(EXPR screenshot_width "0x${screenshot_width}")
math(EXPR screenshot_height "0x${screenshot_height}")
configure_file("${res}/${VANTEL_ID}.metainfo.xml.in" "${desktop_dir}/${VANTEL_ID}.metainfo.xml" @ONLY)
install(FILES "${desktop_dir}/${VANTEL_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${res}/${VANTEL_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(DIRECTORY "${PROJECT_BINARY_DIR}/resources/help/" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/vantel/help")

# The manual page and the changelog carry the release's version and date;
# both are compressed without a time stamp (gzip -n), so that the same
# sources give the same package.
string(SUBSTRING "${VANTEL_RELEASE_DATE}" 0 4 release_year)
execute_process(COMMAND date -u -R -d "${VANTEL_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE release_rfc2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
find_program(VANTEL_GZIP gzip REQUIRED)
configure_file("${res}/vantel.1.in" "${desktop_dir}/man/vantel.1" @ONLY)
configure_file("${res}/changelog.in" "${desktop_dir}/doc/changelog" @ONLY)
configure_file("${res}/copyright.in" "${desktop_dir}/doc/copyright" @ONLY)
set(compressed "")
foreach(file IN ITEMS man/vantel.1 doc/changelog)
  add_custom_command(OUTPUT "${desktop_dir}/${file}.gz"
    COMMAND "${VANTEL_GZIP}" -9 -n -k -f "${desktop_dir}/${file}"
    DEPENDS "${desktop_dir}/${file}"
    COMMENT "Compressing ${file}"
    VERBATIM)
  list(APPEND compressed "${desktop_dir}/${file}.gz")
endforeach()
add_custom_target(vantel_docs ALL DEPENDS ${compressed})
install(FILES "${desktop_dir}/man/vantel.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${desktop_dir}/doc/changelog.gz" "${desktop_dir}/doc/copyright"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/vantel")

# Debian package: cpack --config build/CPackConfig.cmake -B build. Dependencies come from
# dpkg-shlibdeps over the program and its libraries.
set(CPACK_PACKAGE_NAME "vantel")
set(CPACK_PACKAGE_VENDOR "Vantel developers")
set(CPACK_PACKAGE_CONTACT "${VANTEL_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Record public events and export them for an event listing")
# Lines within 80 columns; CPack indents each by one blank.
set(CPACK_PACKAGE_DESCRIPTION
  "Vantel records public events with their dates and times, checks them,\nkeeps them in three tab-separated text files and packs them into one zip\nfile for the event-listing service.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR "DEB")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VANTEL_HOME_PAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries are in the package, not in another one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${VANTEL_INSTALL_LIBDIR}")
# Send by e-mail opens the mail program through xdg-email.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# No ldconfig in maintainer scripts: cmake/cpack/Internal/CPack/CPackDeb.cmake.
set(CPACK_MODULE_PATH "${PROJECT_SOURCE_DIR}/cmake/cpack")
include(CPack)
