# pilvorne -Relay and kestrava /Relay across a router that keeps directed broadcasts to itself.
if(NOT WIN32)
  add_executable(relay_peer ${CMAKE_CURRENT_SOURCE_DIR}/relay_peer.cpp)
  target_link_libraries(relay_peer PRIVATE tidewake_options tidewake_relay tidewake_common)
  tidewake_add_lab_test(lab_relay ${CMAKE_CURRENT_SOURCE_DIR}/relay.sh
    $<TARGET_FILE:kestrava> $<TARGET_FILE:pilvorne> $<TARGET_FILE:relay_peer> $<TARGET_FILE:sleeping_host>)
endif()
