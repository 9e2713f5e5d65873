# kestrava's silent send on the virtual LAN: bytes and destination on the wire, exit status, failures.
if(NOT WIN32)
  add_executable(udp_capture ${CMAKE_CURRENT_SOURCE_DIR}/udp_capture.cpp)
  target_link_libraries(udp_capture PRIVATE tidewake_options)
  tidewake_add_lab_test(lab_silent_send ${CMAKE_CURRENT_SOURCE_DIR}/silent_send.sh
    $<TARGET_FILE:kestrava> $<TARGET_FILE:udp_capture>)
endif()
