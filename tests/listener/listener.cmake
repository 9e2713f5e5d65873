# pilvorne's tests: its logic linked directly, the receive call, and the program run on loopback.
if(TARGET pilvorne_core)
  tidewake_add_unit_test(listener_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/datagram_entry_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/version_text_test.cpp
    LIBS pilvorne_core)
  if(WIN32)
    # The version read from the test's own file needs pilvorne's resource there too.
    target_sources(listener_test PRIVATE ${PROJECT_SOURCE_DIR}/listener/pilvorne.rc)
  endif()
endif()

if(TARGET pilvorne AND NOT WIN32)
  tidewake_add_unit_test(listener_process_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/process_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/receive_test.cpp
    LIBS tidewake_platform)
  target_compile_definitions(listener_process_test PRIVATE PILVORNE_PATH="$<TARGET_FILE:pilvorne>")
  add_dependencies(listener_process_test pilvorne)
endif()
