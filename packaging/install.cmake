# Install rules and the Debian package: the program, the register simulator under
# libexec (--demo finds it there), the desktop entry, the icon, the AppStream metainfo,
# the manual page and the bash completion (both made from the --help table by docgen),
# and the Polish language file when the source tree has one.

add_executable(docgen tools/docgen/main.cpp tools/docgen/man_page.cpp tools/docgen/bash_completion.cpp)
target_link_libraries(docgen PRIVATE vobrelfm::cli)

set(VOBRELFM_DOCS_DIR ${CMAKE_BINARY_DIR}/docs)
add_custom_command(
  OUTPUT ${VOBRELFM_DOCS_DIR}/vobrelfm.1 ${VOBRELFM_DOCS_DIR}/vobrelfm.bash
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VOBRELFM_DOCS_DIR}
  COMMAND docgen man ${PROJECT_VERSION} ${VOBRELFM_DOCS_DIR}/vobrelfm.1
  COMMAND docgen bash ${VOBRELFM_DOCS_DIR}/vobrelfm.bash
  DEPENDS docgen
  COMMENT "Manual page and bash completion from the --help table")
add_custom_command(
  OUTPUT ${VOBRELFM_DOCS_DIR}/vobrelfm.1.gz
  COMMAND gzip -9nf -k ${VOBRELFM_DOCS_DIR}/vobrelfm.1
  DEPENDS ${VOBRELFM_DOCS_DIR}/vobrelfm.1)
add_custom_target(docs ALL DEPENDS ${VOBRELFM_DOCS_DIR}/vobrelfm.1.gz ${VOBRELFM_DOCS_DIR}/vobrelfm.bash)

set(VOBRELFM_APP_ID org.vobrelfm.vobrelfm)
configure_file(packaging/${VOBRELFM_APP_ID}.metainfo.xml ${VOBRELFM_DOCS_DIR}/${VOBRELFM_APP_ID}.metainfo.xml @ONLY)

install(TARGETS vobrelfm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ecrsim RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vobrelfm)
install(FILES packaging/vobrelfm.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/vobrelfm.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VOBRELFM_DOCS_DIR}/${VOBRELFM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VOBRELFM_DOCS_DIR}/vobrelfm.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VOBRELFM_DOCS_DIR}/vobrelfm.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vobrelfm)
# Debian's documentation of the package: the copyright and the changelog (compressed).
set(VOBRELFM_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vobrelfm)
add_custom_command(
  OUTPUT ${VOBRELFM_DOCS_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VOBRELFM_DOCS_DIR}
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${VOBRELFM_DOCS_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(changelog ALL DEPENDS ${VOBRELFM_DOCS_DIR}/changelog.gz)
install(FILES packaging/copyright ${VOBRELFM_DOCS_DIR}/changelog.gz DESTINATION ${VOBRELFM_DOC_DIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/lang/pl/lang.lng)
  install(FILES ${PROJECT_SOURCE_DIR}/lang/pl/lang.lng DESTINATION ${CMAKE_INSTALL_DATADIR}/vobrelfm/lang/pl)
endif()

# make deb: a package for /usr with the shared-library dependencies dpkg-shlibdeps finds,
# plus what the program needs at run time that no library link shows: the windowing
# plug-ins of Qt, the report font and Qt's own translations (the standard buttons).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vobrelfm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for the fiscal memory of cash registers")
set(CPACK_PACKAGE_DESCRIPTION "Reads the fiscal memory of a cash register over a serial line
(detail and summary reports over a range of Z numbers or dates), keeps the
reports in a catalogue, prints them and archives them on recordable CDs.
Comes with a simulated register to try it out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(VOBRELFM_MAINTAINER "VOBREL FM maintainers <maintainers@vobrelfm.org>" CACHE STRING "The package's maintainer")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VOBRELFM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
# cpack packs the tree as built (make deb builds it first) instead of building every
# target, tests included, on its own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
