# The sleeping-host simulator the wait is tested against, and its own lab test: what another
# host sees of it before and after a wake from third-party senders.
if(NOT WIN32)
  add_executable(sleeping_host ${CMAKE_CURRENT_LIST_DIR}/sleeping_host.cpp)
  target_link_libraries(sleeping_host PRIVATE tidewake_options)
  tidewake_add_lab_test(lab_sleeping_host ${CMAKE_CURRENT_LIST_DIR}/sleeping_host.sh $<TARGET_FILE:sleeping_host>)
endif()
