# The pcapng follower that names each packet's interface for -Read: bytes in, names out.
if(NOT WIN32)
  tidewake_add_unit_test(posix_pcapng_follower_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/posix_pcapng_follower_test.cpp
    LIBS tidewake_capture LABELS platform)
endif()
