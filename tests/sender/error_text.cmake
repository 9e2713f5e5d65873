# Winsock and system error texts.
tidewake_add_unit_test(error_text_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/error_text_test.cpp
  LIBS kestrava_core LABELS sender)
