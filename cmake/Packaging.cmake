# Installation and the Debian package (CPack): the programs, the OPC UA
# publication's script with its node modules, the systemd user unit and
# socket of the communication daemon (enabled for every user), the desktop
# files, the MIME type of documents (.dqx) with its icons, and the man pages.
#   cpack -G DEB -B OUTDIR      (from the build folder, after a full build)
include(GNUInstallDirs)
# Packaging installs what the build made; it never starts a build of its own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QD40_PKG ${PROJECT_SOURCE_DIR}/packaging)

set(QD40_PACKAGE_PROGRAMS "")
foreach(program tavik ovixqd40svr ovixqd40svr-panel qd40 qd40sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND QD40_PACKAGE_PROGRAMS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${program})
  endif()
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/app/opc_sidecar/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/qd40-suite/opc_sidecar
  PATTERN ".installed-lock.sha256" EXCLUDE
  PATTERN ".gitignore" EXCLUDE)

set(QD40_USER_UNITS lib/systemd/user)
install(FILES ${QD40_PKG}/systemd/ovixqd40svr.socket ${QD40_PKG}/systemd/ovixqd40svr.service
  DESTINATION ${QD40_USER_UNITS})
# Enabled for every user, as "systemctl --global enable" would.
install(CODE "
  set(wants \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QD40_USER_UNITS}/sockets.target.wants\")
  file(MAKE_DIRECTORY \"\${wants}\")
  file(CREATE_LINK ../ovixqd40svr.socket \"\${wants}/ovixqd40svr.socket\" SYMBOLIC)
")

install(FILES ${QD40_PKG}/desktop/tavik.desktop ${QD40_PKG}/desktop/ovixqd40svr-panel.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QD40_PKG}/mime/qd40-suite.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${QD40_PKG}/icons/tavik.svg ${QD40_PKG}/icons/ovixqd40svr-panel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${QD40_PKG}/icons/application-x-qd40-document.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)

# Man pages, compressed as Debian keeps them.
file(GLOB QD40_MAN_PAGES CONFIGURE_DEPENDS ${QD40_PKG}/man/*.1)
foreach(page ${QD40_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  set(gz ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9nc ${page} > ${gz}
    DEPENDS ${page} VERBATIM)
  list(APPEND QD40_MAN_GZ ${gz})
endforeach()
add_custom_target(qd40_man_pages ALL DEPENDS ${QD40_MAN_GZ})
install(FILES ${QD40_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qd40-suite)
set(CPACK_PACKAGE_VENDOR "Ovix")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Qd40 modules: communication server, desktop application and command-line tools")
set(CPACK_PACKAGE_DESCRIPTION
  "Configures, drives and reads out Qd40 data-acquisition modules over MODBUS RTU serial lines and MODBUS/TCP: the communication daemon ovixqd40svr with its operator window, the desktop application tavik with its OPC UA publication, the command-line client qd40 and the module simulator qd40sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Qd40 Suite maintainers <qd40@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs need, and the machine's Node.js for the OPC UA
# publication, found when the package is made.
configure_file(${CMAKE_CURRENT_LIST_DIR}/package_depends.cmake.in
  ${CMAKE_BINARY_DIR}/package_depends.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package_depends.cmake)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd")
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(QD40_BUILD_TESTS)
  # Builds the package into a temporary folder, unpacks it into a temporary
  # root, installs and removes it there with dpkg, and checks its file list.
  add_test(NAME package_contents COMMAND ${PROJECT_SOURCE_DIR}/tools/package-check ${CMAKE_BINARY_DIR})
  set_tests_properties(package_contents PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)
endif()
