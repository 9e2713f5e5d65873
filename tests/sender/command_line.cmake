# The command line: tokens, the option parse and the actions it asks for.
tidewake_add_unit_test(command_line_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/command_line_test.cpp
  LIBS kestrava_core LABELS sender)
