# The POSIX services of the log: files, the log folder, the named mutex, the process.
if(NOT WIN32)
  tidewake_add_unit_test(posix_log_services_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/posix_log_services_test.cpp
    LIBS tidewake_platform LABELS platform)
endif()
