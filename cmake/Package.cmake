# CPack: a Debian package of the Linux build, a zip of the Windows build (`make package`).
set(CPACK_PACKAGE_NAME tidewake)
set(CPACK_PACKAGE_VENDOR "Tidewake developers")
set(CPACK_PACKAGE_CONTACT "Tidewake developers <tidewake@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Wake-on-LAN test tools: a wake sender and a wake listener")
# The long description keeps within 80 columns, as dpkg shows it.
set(CPACK_PACKAGE_DESCRIPTION "Two small network tools for testing Wake-on-LAN.
kestrava sends wake packets from a dialog, or silently from its command line;
pilvorne listens on a UDP port and prints the kind, MAC address, sender and
length of every datagram that arrives.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  # The installed units name the program by its path under the prefix, so the package is
  # staged with DESTDIR and the real prefix rather than with a prefix inside the staging folder.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Dependencies come from the binaries' shared libraries (dpkg-shlibdeps). libpcap, which
  # pilvorne opens only for -Any and -Read, and libcrypto (libssl3), which both programs open
  # only when a relay key is used, are recommended rather than linked, and so is xdg-utils,
  # whose xdg-open shows the dialog's help page.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libpcap0.8, libssl3, xdg-utils")
  # The package's own change log, compressed into its documentation folder as Debian expects.
  set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND ${TIDEWAKE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
  add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
  install(FILES ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

include(CPack)
