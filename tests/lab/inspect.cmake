# pilvorne's inspector options on the lab's LAN, against kestrava, wakeonlan, etherwake and dumpcap.
if(NOT WIN32)
  tidewake_add_lab_test(lab_inspect ${CMAKE_CURRENT_LIST_DIR}/inspect.sh
    $<TARGET_FILE:pilvorne> $<TARGET_FILE:kestrava>)
endif()
