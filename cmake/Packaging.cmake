# Installing and packaging Kalvo.
#
#   cmake --install <build> [--prefix <folder>]
#       A self-contained program folder: kalvo, kalvo-record, unitsim, MY.LNG beside them and
#       lang/de/MY.LNG. Kalvo writes its settings, kalvo.ini, into the same folder when it ends, so
#       the folder must be writable by whoever runs it (for example --prefix ~/kalvo).
#   cpack -G DEB            (in the build folder)
#       Two Debian packages sharing the program folder /opt/kalvo, read-only:
#       kalvo-record  the recorder, unitsim, the language files, the service, the recorder's manual
#                     page and /usr/bin/kalvo-record; no toolkit among its dependencies, so that a
#                     box without a display records with it alone. Two files beside the programs are
#                     links: MY.LNG to a configuration file in /etc/opt/kalvo, which upgrades keep
#                     when it was changed, and kalvo.ini to /var/opt/kalvo, a folder that group
#                     dialout (the users who may open serial ports) may write, made by its postinst.
#       kalvo         the window: the Qt program, its menu entry, icons, AppStream metainfo, manual
#                     page and /usr/bin/kalvo. It depends on kalvo-record of the same version, which
#                     holds the language file and the settings the window shares with the recorder.
#   A build without the Qt program (-DKALVO_BUILD_GUI=OFF, the arm64 cross build) packages
#   kalvo-record alone.

if(WIN32 OR NOT TARGET unitsim OR NOT TARGET kalvo-record)
    return()  # the Windows build is packaged as a zip (app/)
endif()
if(TARGET kalvo)
    set(KALVO_PACKAGE_WINDOW ON)
else()
    set(KALVO_PACKAGE_WINDOW OFF)
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
# Components Recorder and Window: in every installation, the package's and a plain one.

install(TARGETS unitsim kalvo-record RUNTIME DESTINATION . COMPONENT Recorder)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/lang DESTINATION . COMPONENT Recorder)
if(KALVO_PACKAGE_WINDOW)
    install(TARGETS kalvo RUNTIME DESTINATION . COMPONENT Window)
endif()

# Component Folder: the language file itself, for a folder installed without the package.
install(FILES ${PROJECT_SOURCE_DIR}/resources/MY.LNG DESTINATION . COMPONENT Folder)

# ---- What only the packages install -------------------------------------------------------------
# Components RecorderSystem and WindowSystem, left out of a plain `cmake --install`: their
# destinations are system folders.

# A symbolic link made in the build folder and installed as it is.
function(kalvo_install_link name target destination component)
    set(link ${KALVO_PACKAGING_BINARY}/links/${destination}/${name})
    get_filename_component(folder ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${target} ${link} SYMBOLIC)
    install(FILES ${link} DESTINATION ${destination} COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()

# Gzips a file for the package at maximum compression and without a time stamp, as Debian wants.
function(kalvo_gzip source output)
    add_custom_command(OUTPUT ${output} COMMAND gzip -9 -n -c ${source} > ${output} DEPENDS ${source})
endfunction()

# What every Debian package carries of its own: the copyright, the changelog of the source
# package they are built from, and the lintian overrides.
function(kalvo_install_package_documents package component)
    install(FILES ${KALVO_PACKAGING_BINARY}/copyright ${KALVO_PACKAGING_BINARY}/changelog.Debian.gz
            DESTINATION /usr/share/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
    install(FILES ${KALVO_PACKAGING_SOURCE}/${package}.lintian-overrides DESTINATION /usr/share/lintian/overrides
            RENAME ${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()

set(KALVO_MANUAL_PAGES kalvo-record.1)
if(KALVO_PACKAGE_WINDOW)
    list(APPEND KALVO_MANUAL_PAGES kalvo.1)
endif()
set(KALVO_GZIPPED_FILES ${KALVO_PACKAGING_BINARY}/changelog.Debian.gz)
foreach(page ${KALVO_MANUAL_PAGES})
    kalvo_gzip(${KALVO_PACKAGING_BINARY}/${page} ${KALVO_PACKAGING_BINARY}/${page}.gz)
    list(APPEND KALVO_GZIPPED_FILES ${KALVO_PACKAGING_BINARY}/${page}.gz)
endforeach()
kalvo_gzip(${KALVO_PACKAGING_BINARY}/changelog ${KALVO_PACKAGING_BINARY}/changelog.Debian.gz)
add_custom_target(kalvo_package_files ALL DEPENDS ${KALVO_GZIPPED_FILES})

# kalvo-record: the language file and the settings, which the window shares, and the service.
install(FILES ${PROJECT_SOURCE_DIR}/resources/MY.LNG DESTINATION ${KALVO_LANGUAGE_FOLDER}
        COMPONENT RecorderSystem EXCLUDE_FROM_ALL)
kalvo_install_link(MY.LNG ${KALVO_LANGUAGE_FOLDER}/MY.LNG . RecorderSystem)
kalvo_install_link(kalvo.ini ${KALVO_SETTINGS_FOLDER}/kalvo.ini . RecorderSystem)
kalvo_install_link(kalvo-record ${KALVO_PROGRAM_FOLDER}/kalvo-record /usr/bin RecorderSystem)
# Unattended recording as a service, one instance per port.
install(FILES ${KALVO_PACKAGING_BINARY}/kalvo-record@.service DESTINATION /lib/systemd/system
        COMPONENT RecorderSystem EXCLUDE_FROM_ALL)
install(FILES ${KALVO_PACKAGING_BINARY}/kalvo-record.1.gz DESTINATION /usr/share/man/man1
        COMPONENT RecorderSystem EXCLUDE_FROM_ALL)
kalvo_install_package_documents(kalvo-record RecorderSystem)

# kalvo: the window's place in the desktop.
if(KALVO_PACKAGE_WINDOW)
    kalvo_install_link(kalvo ${KALVO_PROGRAM_FOLDER}/kalvo /usr/bin WindowSystem)
    install(FILES ${KALVO_PACKAGING_BINARY}/kalvo.desktop DESTINATION /usr/share/applications
            COMPONENT WindowSystem EXCLUDE_FROM_ALL)
    install(FILES ${KALVO_PACKAGING_BINARY}/kalvo.metainfo.xml DESTINATION /usr/share/metainfo
            RENAME ${KALVO_APPSTREAM_ID}.metainfo.xml COMPONENT WindowSystem EXCLUDE_FROM_ALL)
    # Every icon picgen draws, kalvo-<size>.png, into the icon theme's folder for its size.
    foreach(size 16 24 32 48 128)
        set(icon ${PROJECT_SOURCE_DIR}/resources/icons/kalvo-${size}.png)
        install(FILES ${icon} DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps RENAME kalvo.png
                COMPONENT WindowSystem EXCLUDE_FROM_ALL)
    endforeach()
    install(FILES ${KALVO_PACKAGING_BINARY}/kalvo.1.gz DESTINATION /usr/share/man/man1
            COMPONENT WindowSystem EXCLUDE_FROM_ALL)
    kalvo_install_package_documents(kalvo WindowSystem)
endif()

# ---- The Debian packages ----------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvo)
set(CPACK_PACKAGE_VENDOR "${KALVO_DEVELOPER_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KALVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${KALVO_PROGRAM_FOLDER})
set(CPACK_STRIP_FILES ON)
# A package per group of components.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENTS_ALL Recorder RecorderSystem)
if(KALVO_PACKAGE_WINDOW)
    list(APPEND CPACK_COMPONENTS_ALL Window WindowSystem)
endif()

# Release 2 split the one package of release 1 into the window and the recorder.
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)
set(KALVO_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE kalvo)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KALVO_DEBIAN_ARCHITECTURE)
    # A cross build (the toolchain file names it); otherwise the machine's own.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KALVO_DEBIAN_ARCHITECTURE})
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RECORDER_PACKAGE_NAME kalvo-record)
set(CPACK_DEBIAN_RECORDER_DESCRIPTION "unattended recorder for Ombrel RZ burner control units
kalvo-record polls an Ombrel RZ burner control unit over a serial line as the
Kalvo window does, records every poll and event into CSV files and the raw
replies, makes a night report as one HTML page and publishes to an MQTT broker,
with Home Assistant discovery. The systemd unit kalvo-record@.service runs it
as a service, one instance per port. It needs no display.
.
The package also holds unitsim, a simulated unit on a pseudo-terminal for
trying Kalvo without hardware, and the language files Kalvo's programs share.")
set(CPACK_DEBIAN_RECORDER_PACKAGE_CONTROL_EXTRA
    ${KALVO_PACKAGING_BINARY}/postinst ${KALVO_PACKAGING_BINARY}/postrm ${KALVO_PACKAGING_BINARY}/conffiles)
# Its files were in the kalvo package of release 1.
set(CPACK_DEBIAN_RECORDER_PACKAGE_BREAKS "kalvo (<< ${KALVO_DEBIAN_VERSION})")
set(CPACK_DEBIAN_RECORDER_PACKAGE_REPLACES "kalvo (<< ${KALVO_DEBIAN_VERSION})")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME kalvo)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "kalvo-record (= ${KALVO_DEBIAN_VERSION})")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION "monitor for Ombrel RZ burner control units
Kalvo watches an Ombrel RZ burner control unit over a serial line. Every two
seconds it asks the unit for its status, timings and error history and shows
the active burner components over a schematic of the burner, ten status
indications, the measured values, the durations and the unit's last eight
errors. The report can be copied, printed or saved as a text file.
.
This is the window; the recorder and the language files are in kalvo-record.")

# The source package, made by the package_source target: the tracked tree, not the build folders.
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/\\\\.cache/" "/build[^/]*/")

include(CPack)
cpack_add_component_group(recorder)
cpack_add_component(Recorder GROUP recorder)
cpack_add_component(RecorderSystem GROUP recorder)
if(KALVO_PACKAGE_WINDOW)
    cpack_add_component_group(window)
    cpack_add_component(Window GROUP window)
    cpack_add_component(WindowSystem GROUP window)
endif()

if(KALVO_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
    include(${PROJECT_SOURCE_DIR}/tests/package/PackageTest.cmake)
endif()
