# The send options of the command line: values, bounds, refusals.
tidewake_add_unit_test(send_options_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/send_options_test.cpp
  LIBS kestrava_core LABELS sender)
