# Hosts files for /File=: the line parser and the file reader (a FIFO's refusal on POSIX).
tidewake_add_unit_test(host_file_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host_file_test.cpp
  LIBS kestrava_core LABELS sender)
if(NOT WIN32)
  target_sources(host_file_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/host_file_fifo_test.cpp)
endif()
