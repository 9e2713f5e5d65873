# The wait: its judgement alone, and the engine with its report against a fake probe service,
# neighbour table and clock.
tidewake_add_unit_test(wait_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/wait_judgement_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/wait_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/fakes/fake_probes.cpp ${PROJECT_SOURCE_DIR}/tests/fakes/fake_clock.cpp
          ${PROJECT_SOURCE_DIR}/tests/fakes/fake_neighbours.cpp
  LIBS kestrava_core LABELS sender)
tidewake_use_json(wait_test)
