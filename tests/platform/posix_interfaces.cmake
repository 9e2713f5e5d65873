# The POSIX interface list against the host's own interfaces.
if(NOT WIN32)
  tidewake_add_unit_test(posix_interfaces_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/posix_interfaces_test.cpp
    LIBS tidewake_platform LABELS platform)
endif()
