# The MAC lookup and the quick ping on the lab network, through a small tool that prints results.
if(NOT WIN32)
  add_executable(lookup_tool ${CMAKE_CURRENT_LIST_DIR}/lookup_tool.cpp)
  target_link_libraries(lookup_tool PRIVATE kestrava_core tidewake_options)
  tidewake_add_lab_test(lab_target_resolution ${CMAKE_CURRENT_LIST_DIR}/target_resolution.sh
    $<TARGET_FILE:lookup_tool>)
endif()
