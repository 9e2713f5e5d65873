# Target resolution: the quick ping and the MAC lookup, linked with fakes of the echo service,
# the performance counter, the host-name lookup and the neighbour table.
set(TARGET_RESOLUTION_FAKES
  ${CMAKE_CURRENT_SOURCE_DIR}/../fakes/fake_echo.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../fakes/fake_sleep.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../fakes/fake_clock.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../fakes/fake_host.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../fakes/fake_neighbours.cpp)
tidewake_add_unit_test(target_resolution_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/target_resolution_test.cpp ${TARGET_RESOLUTION_FAKES}
  LIBS kestrava_core
  LABELS sender)
# Its own process: it checks the first payloads a process sends.
tidewake_add_unit_test(target_resolution_payload_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/target_resolution_payload_test.cpp ${TARGET_RESOLUTION_FAKES}
  LIBS kestrava_core
  LABELS sender)
