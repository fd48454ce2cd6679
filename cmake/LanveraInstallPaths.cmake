# Runs at install time (installed by LanveraInstall.cmake): the files that name installed paths
# are written for the prefix being installed to, below DESTDIR when that is set.
set(prefix "${CMAKE_INSTALL_PREFIX}")
set(root "$ENV{DESTDIR}")
set(LANVERA_APPDIR "${prefix}/${LANVERA_INSTALL_DIR}")

# Configuration lives in /etc for the system's prefix, below the prefix otherwise.
if(prefix STREQUAL "/usr")
    set(confdir /etc/lanvera)
else()
    set(confdir "${prefix}/etc/lanvera")
endif()
# `systemctl --user` reads units below /usr/lib, /usr/local/lib and, in the home folder, only below
# ~/.local/share.
if(DEFINED ENV{HOME} AND prefix MATCHES "^$ENV{HOME}/")
    set(unitdir "${prefix}/share/systemd/user")
else()
    set(unitdir "${prefix}/lib/systemd/user")
endif()

function(lanvera_link target link)
    get_filename_component(dir "${link}" DIRECTORY)
    file(MAKE_DIRECTORY "${root}${dir}")
    file(RELATIVE_PATH relative "${dir}" "${target}")
    message(STATUS "Installing: ${root}${link} -> ${relative}")
    file(REMOVE "${root}${link}")
    file(CREATE_LINK "${relative}" "${root}${link}" SYMBOLIC)
endfunction()

function(lanvera_configure template destination)
    message(STATUS "Installing: ${root}${destination}")
    configure_file("${template}" "${root}${destination}" @ONLY)
endfunction()

# The programs a user starts, from bin. They find their files through their real path.
foreach(pair IN LISTS LANVERA_LINKS)
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 program)
    list(GET pair 1 link)
    lanvera_link("${LANVERA_APPDIR}/${program}" "${prefix}/bin/${link}")
endforeach()

# plgLanvera.ini: read beside the programs, kept with the system's configuration. A settings file
# already there holds the group's server: installing again never overwrites it.
if(EXISTS "${root}${confdir}/plgLanvera.ini")
    message(STATUS "Keeping: ${root}${confdir}/plgLanvera.ini")
else()
    file(INSTALL "${LANVERA_SOURCE_DIR}/data/plgLanvera.ini" DESTINATION "${confdir}")
endif()
lanvera_link("${confdir}/plgLanvera.ini" "${LANVERA_APPDIR}/plgLanvera.ini")

lanvera_configure("${LANVERA_SOURCE_DIR}/data/systemd/lanvera-sync.service.in" "${unitdir}/lanvera-sync.service")
file(INSTALL "${LANVERA_SOURCE_DIR}/data/systemd/lanvera-sync.timer" DESTINATION "${unitdir}")

lanvera_configure("${LANVERA_SOURCE_DIR}/data/applications/lanvera-clinora-host.desktop.in"
                  "${prefix}/share/applications/lanvera-clinora-host.desktop")
if(LANVERA_HAS_ORDANO)
    lanvera_configure("${LANVERA_SOURCE_DIR}/data/applications/lanvera-ordano.desktop.in"
                      "${prefix}/share/applications/lanvera-ordano.desktop")
endif()
