# Install rules and packages: the Linux tree (programs, the dialog's module and help page, man
# pages, desktop entry, icons, systemd units) as a .deb, the Windows build as a zip of the two
# programs, their README and the licence.
include(GNUInstallDirs)

set(TIDEWAKE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  # The zip is flat: the two self-contained programs, a README of its own that starts with
  # their use on Windows (the tree's README starts with building), and the licence.
  install(TARGETS kestrava pilvorne RUNTIME DESTINATION .)
  install(FILES ${TIDEWAKE_PACKAGING_DIR}/windows/README.txt ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  install(TARGETS kestrava pilvorne RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # kestrava's GTK dialog module, in a library folder of its own where kestrava looks for it
  # relative to bin/; a module that is opened, not run, so not executable.
  install(TARGETS kestrava_gtk LIBRARY DESTINATION ${KESTRAVA_GTK_MODULE_INSTALL_DIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

  # Man pages go out compressed, as Debian and most distributions keep them; -n leaves the
  # name and time out of the gzip header, so the same page always gives the same bytes.
  find_program(TIDEWAKE_GZIP gzip REQUIRED)
  set(man_pages "")
  foreach(page kestrava.1 pilvorne.1)
    set(page_gz ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${page_gz}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${TIDEWAKE_GZIP} -9nc ${TIDEWAKE_PACKAGING_DIR}/man/${page} > ${page_gz}
      DEPENDS ${TIDEWAKE_PACKAGING_DIR}/man/${page}
      VERBATIM)
    list(APPEND man_pages ${page_gz})
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The dialog in the desktop menu, with the dialog's own icon (tidewake.ico's two images).
  install(FILES ${TIDEWAKE_PACKAGING_DIR}/kestrava.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 16 32)
    install(FILES ${TIDEWAKE_PACKAGING_DIR}/icons/kestrava-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kestrava.png)
  endforeach()

  # The listener's systemd units (with pilvorne-wake@, which turns a card's wake on at every
  # start, and pilvorne-relay, the relay) name the program by its installed path, which is known only when installing:
  # `cmake --install --prefix` and the package builder choose the prefix then.
  # Units live under lib/, never the multiarch library folder.
  set(TIDEWAKE_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
    "Folder of the systemd units, relative to the install prefix")
  install(CODE "
    set(PILVORNE \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/pilvorne\")
    foreach(unit pilvorne.service pilvorne@.service pilvorne-wake@.service pilvorne-relay.service)
      configure_file(\"${TIDEWAKE_PACKAGING_DIR}/systemd/\${unit}.in\"
                     \"${CMAKE_CURRENT_BINARY_DIR}/systemd/\${unit}\" @ONLY)
      file(INSTALL \"${CMAKE_CURRENT_BINARY_DIR}/systemd/\${unit}\"
           DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${TIDEWAKE_SYSTEMD_UNIT_DIR}\"
           FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()")

  # The licence, and the dialog's help page, which kestrava finds there relative to bin/.
  install(FILES ${TIDEWAKE_PACKAGING_DIR}/copyright ${KESTRAVA_HELP_PAGE}
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

include(${PROJECT_SOURCE_DIR}/cmake/Package.cmake)
