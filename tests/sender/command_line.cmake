# The command line and the silent send, with a fake interface list (full mask: loopback only).
tidewake_add_unit_test(command_line_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/command_line_test.cpp ${PROJECT_SOURCE_DIR}/tests/fakes/fake_interfaces.cpp
  LIBS kestrava_core LABELS sender)
