# Installing and packaging Kalvo.
#
#   cmake --install <build> [--prefix <folder>]
#       A self-contained program folder: kalvo, MY.LNG beside it, lang/de/MY.LNG and unitsim.
#       Kalvo writes its settings, kalvo.ini, into the same folder when it ends, so the folder must be
#       writable by whoever runs it (for example --prefix ~/kalvo).
#   cpack -G DEB            (in the build folder)
#       The Debian package: the same program folder in /opt/kalvo, read-only, plus a menu entry,
#       icons, AppStream metainfo, a manual page and /usr/bin/kalvo. Two files beside the program
#       are links: MY.LNG to a configuration file in /etc/opt/kalvo, which upgrades keep when it
#       was changed, and kalvo.ini to /var/opt/kalvo, a folder that group dialout (the users who
#       may open serial ports) may write, made by the package's postinst.

if(NOT TARGET kalvo OR NOT TARGET unitsim OR NOT TARGET kalvo-record)
    return()  # nothing to install without the program (the Windows build has no Qt program)
endif()

set(KALVO_PROGRAM_FOLDER /opt/kalvo)
set(KALVO_LANGUAGE_FOLDER /etc/opt/kalvo)
set(KALVO_SETTINGS_FOLDER /var/opt/kalvo)
set(KALVO_PACKAGE_DOMAIN "kalvo.example" CACHE STRING
    "Internet domain of Kalvo's makers: the package's mail address and the AppStream id derive from it")
set(KALVO_DEVELOPER_NAME "Kalvo developers")
set(KALVO_PACKAGE_MAINTAINER "Kalvo maintainers <maintainers@${KALVO_PACKAGE_DOMAIN}>")
# Reverse-DNS of the domain, then the program's name.
string(REPLACE "." ";" KALVO_DOMAIN_PARTS "${KALVO_PACKAGE_DOMAIN}")
list(REVERSE KALVO_DOMAIN_PARTS)
list(JOIN KALVO_DOMAIN_PARTS "." KALVO_APPSTREAM_ID)
string(APPEND KALVO_APPSTREAM_ID ".Kalvo")

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX ${KALVO_PROGRAM_FOLDER} CACHE PATH "Kalvo's program folder" FORCE)
endif()

set(KALVO_PACKAGING_SOURCE ${PROJECT_SOURCE_DIR}/packaging)
set(KALVO_PACKAGING_BINARY ${CMAKE_BINARY_DIR}/packaging)
foreach(template kalvo.desktop kalvo.metainfo.xml kalvo.1 postinst postrm conffiles copyright changelog
                 kalvo-record@.service kalvo-record.1)
    configure_file(${KALVO_PACKAGING_SOURCE}/${template}.in ${KALVO_PACKAGING_BINARY}/${template} @ONLY)
endforeach()

# ---- The program folder -----------------------------------------------------------------------

# Component Program: in every installation.
install(TARGETS kalvo unitsim kalvo-record RUNTIME DESTINATION . COMPONENT Program)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/lang DESTINATION . COMPONENT Program)

# Component Folder: the language file itself, for a folder installed without the package.
install(FILES ${PROJECT_SOURCE_DIR}/resources/MY.LNG DESTINATION . COMPONENT Folder)

# ---- What only the package installs -------------------------------------------------------------
# Component Debian, left out of a plain `cmake --install`: its destinations are system folders.

# A symbolic link made in the build folder and installed as it is.
function(kalvo_install_link name target destination)
    set(link ${KALVO_PACKAGING_BINARY}/links/${destination}/${name})
    get_filename_component(folder ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${target} ${link} SYMBOLIC)
    install(FILES ${link} DESTINATION ${destination} COMPONENT Debian EXCLUDE_FROM_ALL)
endfunction()

# Gzips a file for the package at maximum compression and without a time stamp, as Debian wants.
function(kalvo_gzip source output)
    add_custom_command(OUTPUT ${output} COMMAND gzip -9 -n -c ${source} > ${output} DEPENDS ${source})
endfunction()

install(FILES ${PROJECT_SOURCE_DIR}/resources/MY.LNG DESTINATION ${KALVO_LANGUAGE_FOLDER}
        COMPONENT Debian EXCLUDE_FROM_ALL)
kalvo_install_link(MY.LNG ${KALVO_LANGUAGE_FOLDER}/MY.LNG .)
kalvo_install_link(kalvo.ini ${KALVO_SETTINGS_FOLDER}/kalvo.ini .)
kalvo_install_link(kalvo ${KALVO_PROGRAM_FOLDER}/kalvo /usr/bin)
kalvo_install_link(kalvo-record ${KALVO_PROGRAM_FOLDER}/kalvo-record /usr/bin)
# Unattended recording as a service, one instance per COM port.
install(FILES ${KALVO_PACKAGING_BINARY}/kalvo-record@.service DESTINATION /lib/systemd/system
        COMPONENT Debian EXCLUDE_FROM_ALL)

install(FILES ${KALVO_PACKAGING_BINARY}/kalvo.desktop DESTINATION /usr/share/applications
        COMPONENT Debian EXCLUDE_FROM_ALL)
install(FILES ${KALVO_PACKAGING_BINARY}/kalvo.metainfo.xml DESTINATION /usr/share/metainfo
        RENAME ${KALVO_APPSTREAM_ID}.metainfo.xml COMPONENT Debian EXCLUDE_FROM_ALL)
# Every icon picgen draws, kalvo-<size>.png, into the icon theme's folder for its size.
foreach(size 16 24 32 48 128)
    set(icon ${PROJECT_SOURCE_DIR}/resources/icons/kalvo-${size}.png)
    install(FILES ${icon} DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps RENAME kalvo.png
            COMPONENT Debian EXCLUDE_FROM_ALL)
endforeach()

kalvo_gzip(${KALVO_PACKAGING_BINARY}/kalvo.1 ${KALVO_PACKAGING_BINARY}/kalvo.1.gz)
kalvo_gzip(${KALVO_PACKAGING_BINARY}/kalvo-record.1 ${KALVO_PACKAGING_BINARY}/kalvo-record.1.gz)
kalvo_gzip(${KALVO_PACKAGING_BINARY}/changelog ${KALVO_PACKAGING_BINARY}/changelog.Debian.gz)
add_custom_target(kalvo_package_files ALL
    DEPENDS ${KALVO_PACKAGING_BINARY}/kalvo.1.gz ${KALVO_PACKAGING_BINARY}/kalvo-record.1.gz
            ${KALVO_PACKAGING_BINARY}/changelog.Debian.gz)
install(FILES ${KALVO_PACKAGING_BINARY}/kalvo.1.gz ${KALVO_PACKAGING_BINARY}/kalvo-record.1.gz DESTINATION /usr/share/man/man1
        COMPONENT Debian EXCLUDE_FROM_ALL)
install(FILES ${KALVO_PACKAGING_BINARY}/copyright ${KALVO_PACKAGING_BINARY}/changelog.Debian.gz
        DESTINATION /usr/share/doc/kalvo COMPONENT Debian EXCLUDE_FROM_ALL)
install(FILES ${KALVO_PACKAGING_SOURCE}/lintian-overrides DESTINATION /usr/share/lintian/overrides
        RENAME kalvo COMPONENT Debian EXCLUDE_FROM_ALL)

# ---- The Debian package -----------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvo)
set(CPACK_PACKAGE_VENDOR "${KALVO_DEVELOPER_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KALVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${KALVO_PROGRAM_FOLDER})
set(CPACK_STRIP_FILES ON)
# One package holding the program and its place in the system.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Program Debian)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "monitor for Ombrel RZ burner control units
Kalvo watches an Ombrel RZ burner control unit over a serial line. Every two
seconds it asks the unit for its status, timings and error history and shows
the active burner components over a schematic of the burner, ten status
indications, the measured values, the durations and the unit's last eight
errors. The report can be copied, printed or saved as a text file.
.
kalvo-record records a unit unattended into CSV files and makes a night
report as one HTML page; the systemd unit kalvo-record@COMn.service runs it
as a service. The package also holds unitsim, a simulated unit on a
pseudo-terminal for trying Kalvo without hardware.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${KALVO_PACKAGING_BINARY}/postinst ${KALVO_PACKAGING_BINARY}/postrm ${KALVO_PACKAGING_BINARY}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The source package, made by the package_source target: the tracked tree, not the build folders.
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/\\\\.cache/" "/build[^/]*/")

include(CPack)

if(KALVO_BUILD_TESTS)
    include(${PROJECT_SOURCE_DIR}/tests/package/PackageTest.cmake)
endif()
