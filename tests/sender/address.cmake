# Address helpers, with a fake interface list for the netmask rule.
tidewake_add_unit_test(address_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/address_test.cpp ${PROJECT_SOURCE_DIR}/tests/fakes/fake_interfaces.cpp
  LIBS kestrava_core LABELS sender)
