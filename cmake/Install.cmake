# Installs the program as a desktop application: the binary, its menu entry, its icon in the
# hicolor theme (PNG sizes rendered from the SVG at build time, plus the SVG) and its AppStream
# metainfo; and packs it as a Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(VELTRY_APP_ID org.veltry.Veltry)
set(VELTRY_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/icons/veltry.svg)
set(VELTRY_ICON_SIZES 16 22 24 32 48 64 128 256)

add_executable(render_icon ${CMAKE_SOURCE_DIR}/tools/render_icon.cpp)
target_link_libraries(render_icon PRIVATE Qt6::Gui Qt6::Svg)

set(VELTRY_ICON_PNGS)
foreach(size ${VELTRY_ICON_SIZES})
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/veltry.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND render_icon ${VELTRY_ICON_SVG} ${size} ${png}
    DEPENDS render_icon ${VELTRY_ICON_SVG}
    COMMENT "Rendering the program icon at ${size} pixels")
  list(APPEND VELTRY_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(veltry_icons ALL DEPENDS ${VELTRY_ICON_PNGS})

install(TARGETS veltry RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VELTRY_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/${VELTRY_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/${VELTRY_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltry)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltry")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Task list with due dates, alarms and a history")
set(CPACK_PACKAGE_CONTACT "Veltry developers <dev@veltry.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window system plugin (xcb) is loaded at run time, so no library names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
