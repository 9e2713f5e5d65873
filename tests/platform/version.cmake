# The version resource reader, with a record of the test's own.
if(NOT WIN32)
  tidewake_add_unit_test(platform_version_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/version_test.cpp
    LIBS tidewake_platform)
endif()
