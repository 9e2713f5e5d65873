# The probe service with real sockets on the loopback, on both platforms (under Wine too).
tidewake_add_unit_test(probes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/probes_test.cpp
  LIBS tidewake_platform LABELS platform)
