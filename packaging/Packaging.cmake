# The .deb: CPack's DEB generator with the dependencies dpkg-shlibdeps reads off the binary, and the
# copyright and changelog Debian asks of every package. scripts/package builds it.
set(package_doc ${CMAKE_INSTALL_DATADIR}/doc/tavelin)
set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})

string(SUBSTRING ${TAVELIN_RELEASE_DATE} 0 4 TAVELIN_RELEASE_YEAR)
configure_file(${packaging_dir}/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${package_doc})

execute_process(COMMAND date --utc --rfc-email --date "${TAVELIN_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE TAVELIN_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
configure_file(${packaging_dir}/changelog.in ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${GZIP} -9nkf ${changelog}
  DEPENDS ${changelog} VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${package_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavelin)
set(CPACK_PACKAGE_VENDOR "Tavelin developers")
set(CPACK_PACKAGE_CONTACT "${TAVELIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVELIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavelin lays a spreadsheet-style grid over the screen, or over one window,
so that places on it can be named: the button in C4, the glitch between F7
and G7. Ruler bands carry column letters and row numbers, and each cell can
show its name. The grid lets every click through.
.
It lives in the system tray, answers five global shortcuts and takes
screenshots with the grid, to the Desktop folder and the clipboard. The
tavelin command drives it from scripts. It runs on X11 and on Wayland
compositors that offer layer-shell (sway, Hyprland, KDE Plasma, river, labwc).")
include(CPack)
