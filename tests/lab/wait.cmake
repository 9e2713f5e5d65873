# kestrava /Wait against the sleeping-host simulator (sleeping_host.cmake) on the lab's LANs.
if(NOT WIN32)
  tidewake_add_lab_test(lab_wait ${CMAKE_CURRENT_LIST_DIR}/wait.sh $<TARGET_FILE:kestrava> $<TARGET_FILE:sleeping_host>)
endif()
