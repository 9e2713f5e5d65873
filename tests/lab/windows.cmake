# Windows tests with more than one process: two kestrava processes sharing one log (cross build,
# under Wine), and the Windows programs meeting the Linux ones and each other (native build, lab
# namespaces), kestrava.exe's wait among them.
if(WIN32)
  # Named kestrava.exe, in a folder of its own, so that its log mutex is kestrava_QELOG.
  add_executable(windows_log_writer ${PROJECT_SOURCE_DIR}/tests/sender/log/log_writer_tool.cpp)
  target_link_libraries(windows_log_writer PRIVATE kestrava_log)
  set_target_properties(windows_log_writer PROPERTIES OUTPUT_NAME kestrava
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/log_writer)
  add_test(NAME windows_log_shared
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/windows_log_shared.sh $<TARGET_FILE:windows_log_writer>)
  set_tests_properties(windows_log_shared PROPERTIES LABELS "windows" SKIP_RETURN_CODE 77 TIMEOUT 300)
  # The version line comes from pilvorne.exe's own version resource (run through Wine).
  add_test(NAME windows_pilvorne_version COMMAND pilvorne -Version -?)
  set_tests_properties(windows_pilvorne_version PROPERTIES LABELS "windows" TIMEOUT 60
                       PASS_REGULAR_EXPRESSION "pilvorne Version 1\\.0\\.1\\.2 \\(May 12 2005\\)\r?\n")
  # The inspector's options of pilvorne.exe on loopback.
  add_test(NAME windows_pilvorne_inspect
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/windows_inspect.sh $<TARGET_FILE:pilvorne>)
  set_tests_properties(windows_pilvorne_inspect PROPERTIES LABELS "windows" SKIP_RETURN_CODE 77 TIMEOUT 300)
  # -Check and -Enable of pilvorne.exe over registry keys written into the test prefix.
  add_test(NAME windows_pilvorne_readiness
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/windows_readiness.sh $<TARGET_FILE:pilvorne>)
  set_tests_properties(windows_pilvorne_readiness PROPERTIES LABELS "windows" SKIP_RETURN_CODE 77 TIMEOUT 300)
else()
  # The Windows programs come from the cross build in TIDEWAKE_WINDOWS_BUILD_DIR (make test
  # builds it first and names it); without one these tests say so (and fail under CI=true).
  tidewake_add_lab_test(windows_interop ${CMAKE_CURRENT_LIST_DIR}/windows_interop.sh
                        $<TARGET_FILE:pilvorne> "${TIDEWAKE_WINDOWS_BUILD_DIR}")
  set_property(TEST windows_interop APPEND PROPERTY LABELS windows)
  # kestrava.exe sending to pilvorne.exe, each under Wine in a host of its own.
  tidewake_add_lab_test(windows_windows ${CMAKE_CURRENT_LIST_DIR}/windows_windows.sh
                        "${TIDEWAKE_WINDOWS_BUILD_DIR}")
  set_property(TEST windows_windows APPEND PROPERTY LABELS windows)
  # kestrava.exe /Wait watching the Linux sleeping-host simulator.
  tidewake_add_lab_test(windows_wait ${CMAKE_CURRENT_LIST_DIR}/windows_wait.sh
                        "${TIDEWAKE_WINDOWS_BUILD_DIR}" $<TARGET_FILE:sleeping_host>)
  set_property(TEST windows_wait APPEND PROPERTY LABELS windows)
  # pilvorne.exe -Relay and kestrava.exe /Relay against the Linux programs, both ways.
  tidewake_add_lab_test(windows_relay ${CMAKE_CURRENT_LIST_DIR}/windows_relay.sh
                        $<TARGET_FILE:kestrava> $<TARGET_FILE:pilvorne> $<TARGET_FILE:relay_peer>
                        "${TIDEWAKE_WINDOWS_BUILD_DIR}")
  set_property(TEST windows_relay APPEND PROPERTY LABELS windows)
endif()
