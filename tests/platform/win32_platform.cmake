# Windows-only tests of the portability layer and the version resources (cross build, Wine).
if(WIN32)
  tidewake_add_unit_test(win32_platform_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_interfaces_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/win32_mutex_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/win32_files_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/win32_datagram_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/win32_neighbours_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/win32_private_file_test.cpp
    LIBS tidewake_platform
    LABELS windows)

  # Its file name is part of what the module-path test checks.
  tidewake_add_unit_test(win32_system_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_system_test.cpp
    LIBS kestrava_core
    LABELS windows)

  tidewake_add_unit_test(win32_log_stamp_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_log_stamp_test.cpp
    LIBS kestrava_log
    LABELS windows)

  # One test program per program's version information: its resource, read back through the
  # reader, against its generated record.
  foreach(program kestrava pilvorne)
    add_executable(win32_version_${program}_test ${CMAKE_CURRENT_LIST_DIR}/win32_version_test.cpp
                   ${${program}_VERSION_RC} ${${program}_VERSION_SOURCE})
    target_link_libraries(win32_version_${program}_test PRIVATE tidewake_platform tidewake_options GTest::gtest GTest::gtest_main)
    gtest_discover_tests(win32_version_${program}_test DISCOVERY_MODE PRE_TEST TEST_PREFIX "${program}."
                         PROPERTIES LABELS "unit;windows")
  endforeach()
endif()
