# The relay's wire layouts and key file text, read and written without any service.
tidewake_add_unit_test(common_relay_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/relay_request_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_key_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_text_test.cpp
  LIBS tidewake_common)
# Key files and signatures through the platform's cryptography.
tidewake_add_unit_test(relay_keys_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/relay_key_file_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/relay_sign_test.cpp
  LIBS tidewake_relay)
if(NOT WIN32)
  # File modes and owners are POSIX's; the Windows access list has its own test (win32_platform_test).
  target_sources(relay_keys_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/relay_key_permissions_test.cpp)
endif()
