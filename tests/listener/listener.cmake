# pilvorne's tests: its logic linked directly, the receive call, and the program run on loopback.
tidewake_add_unit_test(listener_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/datagram_entry_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/version_text_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/wake_analysis_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/frame_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/report_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/summary_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_check_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_plan_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_key_file_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/readiness_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/readiness_files_test.cpp
  LIBS pilvorne_core)
# The JSON lines are parsed back with nlohmann-json.
tidewake_use_json(listener_test)
# The version read from the test's own file needs pilvorne's version information there too.
if(WIN32)
  target_sources(listener_test PRIVATE ${pilvorne_VERSION_RC})
else()
  target_sources(listener_test PRIVATE ${pilvorne_VERSION_SOURCE})
endif()

if(NOT WIN32)
  # -Check and -Enable over a sysfs tree of the test's own, with a fake ethtool (link seam).
  tidewake_add_unit_test(readiness_run_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/readiness_run_test.cpp ${PROJECT_SOURCE_DIR}/tests/fakes/fake_wake_settings.cpp
            ${pilvorne_VERSION_SOURCE}
    LIBS pilvorne_core)
  target_include_directories(readiness_run_test SYSTEM PRIVATE ${TIDEWAKE_JSON_INCLUDE})

  tidewake_add_unit_test(listener_process_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/process_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/receive_test.cpp
    LIBS tidewake_platform)
  target_compile_definitions(listener_process_test PRIVATE PILVORNE_PATH="$<TARGET_FILE:pilvorne>")
  add_dependencies(listener_process_test pilvorne)
endif()
