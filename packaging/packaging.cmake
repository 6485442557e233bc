# What `cmake --install` puts on a system, and the Debian package CPack builds from it.
include(GNUInstallDirs)

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmora.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmora-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME velmora.xml)
configure_file(${CMAKE_SOURCE_DIR}/packaging/velmora.1 ${CMAKE_BINARY_DIR}/velmora.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/velmora.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/docs/automation.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The VELMORA developers")
set(CPACK_PACKAGE_CONTACT "The VELMORA developers <velmora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Room acoustics in plan: reflections, sound levels, polar diagrams")
set(CPACK_PACKAGE_DESCRIPTION "Draw a room as a polygon of walls with a source, a receptor and an
audience area; see the first-order reflections computed by the image-source method, a map of the
reflections or of the sound level over the audience, and a polar diagram of what the receptor hears.
Batch runs write the map and the arrivals as CSV without a window.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Qt platform plugins and image formats are loaded at run time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
include(CPack)
