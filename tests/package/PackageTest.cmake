# The package test builds the Debian packages from this build folder and checks them. Without its
# tools (scripts/deps.sh installs them) it is still registered and fails, saying what is missing,
# so that a machine without them cannot pass the run unseen.
find_program(KALVO_DPKG_DEB dpkg-deb)
find_program(KALVO_LINTIAN lintian)
find_program(KALVO_APPSTREAMCLI appstreamcli)
find_program(KALVO_DESKTOP_FILE_VALIDATE desktop-file-validate)
if(KALVO_DPKG_DEB AND KALVO_LINTIAN AND KALVO_APPSTREAMCLI AND KALVO_DESKTOP_FILE_VALIDATE)
    add_test(NAME package
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_BINARY_DIR} ${KALVO_DEBIAN_VERSION})
else()
    set(missing "dpkg-deb, lintian, appstreamcli and desktop-file-validate are needed (scripts/deps.sh installs them)")
    message(WARNING "Package test cannot run: ${missing}")
    add_test(NAME package COMMAND bash -c "echo 'FAIL: ${missing}'; exit 1")
endif()
set_tests_properties(package PROPERTIES TIMEOUT 300)
