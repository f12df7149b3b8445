# Installation layout and the Debian packages: `trosk` (the command line) and,
# when the desktop program is built, `trosk-gui`. Each file belongs to the
# component of the package that carries it.
include(GNUInstallDirs)

install(TARGETS trosk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES docs/man/trosk.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES dist/trosk.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME trosk COMPONENT cli)

set(trosk_components cli)
if(TARGET trosk-gui)
  install(TARGETS trosk-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
  install(FILES docs/man/trosk-gui.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
  install(FILES dist/trosk-gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT gui)
  install(FILES dist/trosk-gui.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          COMPONENT gui)
  list(APPEND trosk_components gui)
endif()

set(CPACK_PACKAGE_NAME trosk)
set(CPACK_PACKAGE_VENDOR "Trosk developers")
set(CPACK_PACKAGE_CONTACT "Trosk developers <trosk@example.org>")
set(CPACK_COMPONENTS_ALL ${trosk_components})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # trosk_1.19_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION vcs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Lets trosk-gui depend on the exact trosk it was built with.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME trosk)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "keeps project files in step with a versioned host
Trosk keeps the files of a project in step with a host that stores every
uploaded version and never overwrites one. The host is a directory (a local
or network path) or a web site read with plain HTTP GET, optionally with
Basic authorisation. This package holds the command line program trosk.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME trosk-gui)
set(CPACK_COMPONENT_GUI_DEPENDS cli)
set(CPACK_COMPONENT_GUI_DESCRIPTION
    "desktop window for trosk
A window that runs the commands of trosk on a working directory: status,
download, upload, the versions on the host and the activity log.")

include(CPack)
