# The cryptography service on both platforms (libcrypto natively, CNG under Wine), against
# published test vectors.
tidewake_add_unit_test(platform_crypto_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_test.cpp
  LIBS tidewake_crypto LABELS platform)
