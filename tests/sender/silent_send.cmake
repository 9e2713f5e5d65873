# The silent send on the loopback, with a fake interface list and pauses that are only recorded.
tidewake_add_unit_test(silent_send_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/silent_send_test.cpp ${PROJECT_SOURCE_DIR}/tests/fakes/fake_interfaces.cpp
          ${PROJECT_SOURCE_DIR}/tests/fakes/fake_sleep.cpp
  LIBS kestrava_core LABELS sender)
