# The ICMP packet unit of the POSIX echo service: no socket, no root.
if(NOT WIN32)
  tidewake_add_unit_test(posix_icmp_packet_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/posix_icmp_packet_test.cpp
    LIBS tidewake_platform LABELS platform)
endif()
