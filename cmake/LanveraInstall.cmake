# Installation: one Lanvera folder below the prefix with the programs, the plug-in and the shipped
# files together, as in build/bin (they find each other beside themselves), and what the system
# needs to start them: links in bin, desktop entries, the systemd user units. The files that name
# installed paths are written at install time (LanveraInstallPaths.cmake), so the package built
# by cpack for /usr and a `cmake --install --prefix ...` both get their own paths.

set(LANVERA_INSTALL_DIR "lib/lanvera")

# The programs, each with the name it gets in bin.
set(lanvera_programs
    Sync lanvera-sync
    clinora-host clinora-host
    ulmet-service ulmet-service
    lanvera-server lanvera-server
    clinora-archive clinora-archive)
# The administration program, when this tree has it.
set(lanvera_has_ordano OFF)
if(TARGET Ordano)
    list(APPEND lanvera_programs Ordano ordano)
    set(lanvera_has_ordano ON)
endif()

set(lanvera_targets "")
set(lanvera_links "")
while(lanvera_programs)
    list(POP_FRONT lanvera_programs target link)
    list(APPEND lanvera_targets ${target})
    list(APPEND lanvera_links "${target}=${link}")
endwhile()

install(TARGETS ${lanvera_targets} RUNTIME DESTINATION ${LANVERA_INSTALL_DIR})
# The plug-in only beside the programs: it reads plgLanvera.ini, Cartella.sql and ClinoraTemp.mdb
# and starts Sync from its own folder, and clinora-host loads it from beside itself when there is
# no Plugins/plgLanvera folder below it.
install(TARGETS plgLanvera LIBRARY DESTINATION ${LANVERA_INSTALL_DIR})
install(FILES
    "${LANVERA_OUTPUT_DIR}/System.mdw"
    "${LANVERA_OUTPUT_DIR}/Cartella.sql"
    "${LANVERA_OUTPUT_DIR}/QUOR_SATPE_1.xml"
    "${LANVERA_OUTPUT_DIR}/ClinoraTemp.mdb"
    DESTINATION ${LANVERA_INSTALL_DIR})

install(CODE "
set(LANVERA_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
set(LANVERA_INSTALL_DIR \"${LANVERA_INSTALL_DIR}\")
set(LANVERA_LINKS \"${lanvera_links}\")
set(LANVERA_HAS_ORDANO ${lanvera_has_ordano})
")
install(SCRIPT "${CMAKE_CURRENT_LIST_DIR}/LanveraInstallPaths.cmake")

# The Debian package. It is built for /usr whatever the tree's prefix: cpack installs with
# DESTDIR and that prefix, so the paths written at install time are those of the package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lanvera)
set(CPACK_PACKAGE_VENDOR Lanvera)
set(CPACK_PACKAGE_CONTACT "Lanvera <lanvera@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shared clinical charts for a group of general practitioners")
set(CPACK_PACKAGE_DESCRIPTION
    "Sync synchronises the local Clinora archives with the group's MariaDB server; the plug-in
plgLanvera shares charts between the doctors of a group; Ordano keeps the list of archives.
Also the stand-in host clinora-host, the stand-in Ulmet service, the server tool lanvera-server
and the archive tool clinora-archive.")
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries linked in come from dpkg-shlibdeps; Qt loads its SQL drivers at run time, so
# those are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-mysql")
# The server settings are edited where Debian keeps configuration; an upgrade keeps them.
file(WRITE "${CMAKE_BINARY_DIR}/debian/conffiles" "/etc/lanvera/plgLanvera.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/debian/conffiles")
set(CPACK_OUTPUT_FILE_PREFIX "${CMAKE_BINARY_DIR}/package")
include(CPack)
