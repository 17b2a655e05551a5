# Installing and packaging: the programs, the demo game, the desktop entries,
# the icon drawn at build time and man pages made from the programs' --help.
include(GNUInstallDirs)

add_executable(velmora-icon ${CMAKE_SOURCE_DIR}/tools/velmora_icon.cpp)
target_include_directories(velmora-icon PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(velmora-icon PRIVATE velmora_tools)
set(VELMORA_ICON_DIR ${CMAKE_BINARY_DIR}/icon)
set(VELMORA_ICONS ${VELMORA_ICON_DIR}/velmora-48.png ${VELMORA_ICON_DIR}/velmora-128.png
  ${VELMORA_ICON_DIR}/velmora-256.png ${VELMORA_ICON_DIR}/velmora.svg)
add_custom_command(OUTPUT ${VELMORA_ICONS}
  COMMAND velmora-icon ${VELMORA_ICON_DIR}
  DEPENDS velmora-icon
  COMMENT "Drawing the desktop icon")

set(VELMORA_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(VELMORA_MANPAGES ${VELMORA_MAN_DIR}/velmora.1 ${VELMORA_MAN_DIR}/velmora-pack.1 ${VELMORA_MAN_DIR}/velmora-check.1)
add_custom_command(OUTPUT ${VELMORA_MANPAGES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_MAN_DIR}
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:velmora> -DNAME=velmora
    "-DSUMMARY=plays a visual novel packed in archive files, in a window or headless"
    -DOUT=${VELMORA_MAN_DIR}/velmora.1 -P ${CMAKE_SOURCE_DIR}/packaging/manpage.cmake
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:velmora-pack> -DNAME=velmora-pack
    "-DSUMMARY=builds and inspects the archives, pictures, sounds and animations of a game"
    -DOUT=${VELMORA_MAN_DIR}/velmora-pack.1 -P ${CMAKE_SOURCE_DIR}/packaging/manpage.cmake
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:velmora-check> -DNAME=velmora-check
    "-DSUMMARY=reports what would go wrong when a game is played"
    -DOUT=${VELMORA_MAN_DIR}/velmora-check.1 -P ${CMAKE_SOURCE_DIR}/packaging/manpage.cmake
  DEPENDS velmora velmora-pack velmora-check ${CMAKE_SOURCE_DIR}/packaging/manpage.cmake
  COMMENT "Writing the man pages")
add_custom_target(desktop-files ALL DEPENDS ${VELMORA_ICONS} ${VELMORA_MANPAGES})

install(TARGETS velmora velmora-pack velmora-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS velmora-window RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velmora)
# The demo as built, without anything a test or a player left in the build tree.
install(DIRECTORY ${VELMORA_DEMO_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora/demo
  FILES_MATCHING PATTERN "*.vrk" PATTERN "save" EXCLUDE)
install(FILES packaging/velmora.desktop packaging/velmora-demo.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 48 128 256)
  install(FILES ${VELMORA_ICON_DIR}/velmora-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME velmora.png)
endforeach()
install(FILES ${VELMORA_ICON_DIR}/velmora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VELMORA_MANPAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md docs/authoring.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora developers <velmora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Visual-novel engine for the Linux desktop, with its authoring tools and a demo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The libraries the programs link, found by dpkg-shlibdeps; the fonts the
# engine maps the usual Japanese faces onto.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-vlgothic, fonts-ipafont-mincho")
# Self-voicing speaks through speech-dispatcher when it is there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, speech-dispatcher, espeak-ng, fonts-liberation, fonts-dejavu-core")
include(CPack)
