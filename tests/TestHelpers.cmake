# tidewake_add_unit_test(NAME SOURCES... LIBS libs... [LABELS labels...]): one GoogleTest
# executable, registered with CTest test by test.
function(tidewake_add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tidewake_options GTest::gtest GTest::gtest_main Threads::Threads)
  # The labels travel as one list value (escaped), so that each test gets them all.
  set(labels unit ${T_LABELS})
  string(REPLACE ";" "\\;" labels "${labels}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${labels}")
endfunction()

# tidewake_add_lab_test(NAME SCRIPT ARGS...): a lab script run as root; exit 77 means skipped.
function(tidewake_add_lab_test name script)
  add_test(NAME ${name} COMMAND bash ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS lab SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL TRUE)
endfunction()

# The cross build whose programs the Windows lab tests run under Wine (native build only).
set(TIDEWAKE_WINDOWS_BUILD_DIR "" CACHE PATH "Build folder of the Windows cross build, for the Windows lab tests")

# tidewake_use_json(TARGET): nlohmann-json (header only) for a test that parses JSON back. The
# cross build gets that header through a folder that holds it alone, not the host's whole
# include directory.
function(tidewake_use_json target)
  find_path(TIDEWAKE_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  if(CMAKE_CROSSCOMPILING)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json_include)
    file(CREATE_LINK ${TIDEWAKE_JSON_INCLUDE}/nlohmann ${CMAKE_BINARY_DIR}/json_include/nlohmann SYMBOLIC)
    target_include_directories(${target} SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/json_include)
  else()
    target_include_directories(${target} SYSTEM PRIVATE ${TIDEWAKE_JSON_INCLUDE})
  endif()
endfunction()
