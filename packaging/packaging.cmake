# What `cmake --install` puts on a system, and the Debian package CPack builds from it.
include(GNUInstallDirs)

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmora.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmora-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME velmora.xml)
# The man page and the changelog go in compressed as Debian ships them: gzip -9, no name or time
# stamp inside, so the package's bytes do not depend on when it was built.
configure_file(${CMAKE_SOURCE_DIR}/packaging/velmora.1 ${CMAKE_BINARY_DIR}/velmora.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
find_program(VELMORA_GZIP gzip REQUIRED)
foreach(page velmora.1 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${page}.gz
    COMMAND ${VELMORA_GZIP} -9 -n -k -f ${CMAKE_BINARY_DIR}/${page}
    DEPENDS ${CMAKE_BINARY_DIR}/${page} VERBATIM)
endforeach()
add_custom_target(velmora_compressed_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/velmora.1.gz ${CMAKE_BINARY_DIR}/changelog.gz)
add_dependencies(velmora velmora_compressed_docs)
install(FILES ${CMAKE_BINARY_DIR}/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
  ${CMAKE_SOURCE_DIR}/docs/automation.md ${CMAKE_SOURCE_DIR}/docs/arrivals-csv.md
  ${CMAKE_SOURCE_DIR}/docs/materials.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Sample cases for a first try: velmora --open /usr/share/velmora/samples/hall.ac
install(FILES ${CMAKE_SOURCE_DIR}/samples/hall.ac ${CMAKE_SOURCE_DIR}/samples/l-room.ac
  ${CMAKE_SOURCE_DIR}/samples/curved-room.ac ${CMAKE_SOURCE_DIR}/samples/hall-plan.dxf
  ${CMAKE_SOURCE_DIR}/samples/sounds/phrase.flac
  DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora/samples)
# The material library the "material..." dialog lists, found beside the program (../share/velmora).
install(FILES ${CMAKE_SOURCE_DIR}/data/materials.csv DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The VELMORA developers")
set(CPACK_PACKAGE_CONTACT "The VELMORA developers <velmora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Room acoustics in plan: reflections, sound levels, polar diagrams")
# Lines of at most 80 characters, as Debian's tools read the extended description.
set(CPACK_PACKAGE_DESCRIPTION "Draw a room as a polygon of walls with a source, a receptor and an
audience area; see the first-order reflections computed by the image-source
method, a map of the reflections or of the sound level over the audience, and a
polar diagram of what the receptor hears. Batch runs write the map and the
arrivals as CSV, and a PDF report, without a window.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The Qt platform plugins and image formats are loaded at run time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")

# The Python module (python/), when built, as a package of its own beside the program's, which stays
# as it is: velmora_VERSION_ARCH.deb and python3-velmora_VERSION_ARCH.deb.
if(TARGET velmora_python)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified python3-velmora)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME velmora)
  set(CPACK_COMPONENT_UNSPECIFIED_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_PYTHON3-VELMORA_PACKAGE_NAME python3-velmora)
  set(CPACK_DEBIAN_PYTHON3-VELMORA_PACKAGE_SECTION python)
  # Built for one Python version (the module's file name says which).
  string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)$" "\\1" python_major "${VELMORA_PYTHON_VERSION}")
  string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)$" "\\2" python_minor "${VELMORA_PYTHON_VERSION}")
  math(EXPR python_next_minor "${python_minor} + 1")
  set(CPACK_DEBIAN_PYTHON3-VELMORA_PACKAGE_DEPENDS
    "python3 (>= ${VELMORA_PYTHON_VERSION}), python3 (<< ${python_major}.${python_next_minor}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON3-VELMORA_PACKAGE_RECOMMENDS "velmora")
  set(CPACK_DEBIAN_PYTHON3-VELMORA_PACKAGE_SUGGESTS "python3-matplotlib")
  # CPack puts the program's summary line first.
  set(CPACK_DEBIAN_PYTHON3-VELMORA_DESCRIPTION "The engine of velmora as the Python module velmora, with numpy: audience maps
of the reflections and levels of a room in plan, the direct sound and the
first-order reflections at a receptor with ITDG, D50 and C80, and case files
(.ac) read and written as the program does. The results are the program's.")
  # Its documents go with the module: python/CMakeLists.txt copies them beside it when it is built
  # (the changelog made first), so that a tree that built the program alone installs none of them.
  set(python_docs ${CMAKE_BINARY_DIR}/python/doc)
  add_dependencies(velmora_python_files velmora_compressed_docs)
  install(FILES ${python_docs}/copyright ${python_docs}/changelog.gz ${python_docs}/python.md
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-velmora COMPONENT python3-velmora OPTIONAL)
endif()
include(CPack)
