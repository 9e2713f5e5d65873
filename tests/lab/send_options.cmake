# kestrava's send options on two LANs: kinds, ports, destinations, counts, raw frames, hosts files.
if(NOT WIN32)
  tidewake_add_lab_test(lab_send_options ${CMAKE_CURRENT_SOURCE_DIR}/send_options.sh
    $<TARGET_FILE:kestrava> $<TARGET_FILE:udp_capture>)
endif()
