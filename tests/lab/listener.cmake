# pilvorne on a lab host receiving kestrava's silent send and a third-party sender's packet.
if(NOT WIN32)
  tidewake_add_lab_test(lab_listener ${CMAKE_CURRENT_LIST_DIR}/listener.sh
    $<TARGET_FILE:pilvorne> $<TARGET_FILE:kestrava>)
endif()
