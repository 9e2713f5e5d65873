# Wake packet bytes and sends on the loopback; the failures of sockets that did not open (POSIX
# open-file limit).
tidewake_add_unit_test(wake_packet_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/wake_packet_test.cpp
  LIBS kestrava_core LABELS sender)
if(NOT WIN32)
  tidewake_add_unit_test(wake_packet_descriptors_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/wake_packet_descriptors_test.cpp
    LIBS kestrava_core LABELS sender)
endif()
