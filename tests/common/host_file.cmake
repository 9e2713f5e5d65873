# Hosts files, read by both programs: the line parser and the file reader (a FIFO's refusal on POSIX).
tidewake_add_unit_test(host_file_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_file_test.cpp
  LIBS tidewake_common)
if(NOT WIN32)
  target_sources(host_file_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/host_file_fifo_test.cpp)
endif()
tidewake_add_unit_test(wake_address_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wake_address_test.cpp
  LIBS tidewake_common)
