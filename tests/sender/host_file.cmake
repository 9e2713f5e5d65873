# Hosts files for /File=: the line parser and the file reader.
tidewake_add_unit_test(host_file_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host_file_test.cpp
  LIBS kestrava_core LABELS sender)
