# Installing Vantel as a Linux desktop program, and its Debian package.
#
#   bin/vantel                                   the program
#   lib/vantel/libhelvex1.so, libxzip.so         its libraries, found through
#                                                the run path $ORIGIN/../lib/vantel
#   share/applications/<id>.desktop              menu entry: vantel --user-folder
#   share/metainfo/<id>.metainfo.xml             AppStream description
#   share/icons/hicolor/{scalable,NxN}/apps/<id> icons, PNGs drawn from art/icon.svg
#   share/man/man1/vantel.1                      manual page
#   share/doc/vantel/help/                       the help pages, also readable
#                                                without the program
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
set_target_properties(helvex1 xzip PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS vantel RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS helvex1 xzip LIBRARY DESTINATION "${VANTEL_INSTALL_LIBDIR}")

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

configure_file("${res}/${VANTEL_ID}.metainfo.xml.in" "${desktop_dir}/${VANTEL_ID}.metainfo.xml" @ONLY)
install(FILES "${desktop_dir}/${VANTEL_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${res}/${VANTEL_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${res}/vantel.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(DIRECTORY "${PROJECT_BINARY_DIR}/resources/help/" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/vantel/help")

# Debian package: cpack --config build/CPackConfig.cmake -B build. Dependencies come from
# dpkg-shlibdeps over the program and its libraries.
set(CPACK_PACKAGE_NAME "vantel")
set(CPACK_PACKAGE_VENDOR "Vantel developers")
set(CPACK_PACKAGE_CONTACT "Vantel developers <${VANTEL_EVENTS_MAILBOX}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Record public events and export them for an event listing")
set(CPACK_PACKAGE_DESCRIPTION
  "Vantel records public events with their dates and times, checks them, keeps them in three\n tab-separated text files and packs them into one zip file for the event-listing service.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR "DEB")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${VANTEL_OPERATOR_SITE}/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries are in the package, not in another one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${VANTEL_INSTALL_LIBDIR}")
include(CPack)
