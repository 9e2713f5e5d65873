# The command line: tokens, the option parse and the actions it asks for, and --help's text
# (whose file reads the version too: the fake version service stands in for the program's).
tidewake_add_unit_test(command_line_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/command_line_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/dialog/fake_version.cpp
  LIBS kestrava_core LABELS sender)
