# The relay's wire layouts and key file text, read and written without any service.
tidewake_add_unit_test(common_relay_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/relay_request_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_key_test.cpp)
