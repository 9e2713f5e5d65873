# Tests that the Windows cross build leaves out, each with the reason. Everything else runs
# under Wine. Whole test programs that need a Linux-only fake or service are not built:
set(TIDEWAKE_EXCLUDED_UNIT_TESTS
  log_writer_test      # its fake files service (tests/fakes/fake_files.cpp) is written with POSIX calls
  log_record_test      # runs cases in child processes (fork, sys/wait.h)
  log_multiprocess_test  # starts its writer processes with posix_spawn; windows_log_shared covers Windows
  log_platform_test    # runs cases in child processes (fork, sys/wait.h); win32_platform_test covers these services
)
foreach(excluded ${TIDEWAKE_EXCLUDED_UNIT_TESTS})
  message(STATUS "Windows build: unit test ${excluded} left out (see tests/platform/win32_excluded_tests.cmake)")
endforeach()

# Single test cases (ctest names, regular expressions) that are built but not run under Wine:
set(TIDEWAKE_EXCLUDED_TEST_CASES
  # Expects the C library's strerror texts in the log lines; Windows has its own system texts
  # (win32_system_test checks those).
  "TargetResolution.QuickPingKeepsTheShortestRoundTripAndLogsUnderBit0x10"
  # A connected UDP socket keeps ICMP port-unreachable as its pending error (SO_ERROR) on
  # Linux; Winsock reports it on the next receive instead.
  "GetSocketError.ReadsThePendingErrorInWinsockNumbering"
  # Wine binds a UDP socket to an IPv4 address the host does not have and sends from it;
  # Windows, like Linux, refuses the bind (WSAEADDRNOTAVAIL).
  "SilentSendTest.AFailedBindIsAFailedSend"
)
list(JOIN TIDEWAKE_EXCLUDED_TEST_CASES "|" excluded_cases)
file(WRITE ${CMAKE_BINARY_DIR}/windows_excluded_tests.txt "${excluded_cases}\n")
