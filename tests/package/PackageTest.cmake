# The package test builds the Debian package from this build folder and checks it; registered only
# where its tools are at hand.
find_program(KALVO_DPKG_DEB dpkg-deb)
find_program(KALVO_LINTIAN lintian)
find_program(KALVO_APPSTREAMCLI appstreamcli)
find_program(KALVO_DESKTOP_FILE_VALIDATE desktop-file-validate)
if(KALVO_DPKG_DEB AND KALVO_LINTIAN AND KALVO_APPSTREAMCLI AND KALVO_DESKTOP_FILE_VALIDATE)
    add_test(NAME package
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
    set_tests_properties(package PROPERTIES TIMEOUT 300)
else()
    message(STATUS "Package test left out: it needs dpkg-deb, lintian, appstreamcli and desktop-file-validate")
endif()
