# kestrava.exe's dialog under Wine on the lab LAN, with the Linux pilvorne as the witness.
# The Windows build makes the program and the probe that reads the dialog's fields; the
# Linux build, whose pilvorne listens, runs the test (`make test` builds both first). The
# Windows build's folder comes last: an empty argument is dropped on the way to the script.
if(WIN32)
  add_executable(windows_dialog_probe ${CMAKE_CURRENT_LIST_DIR}/windows_dialog_probe.cpp)
  target_link_libraries(windows_dialog_probe PRIVATE tidewake_options user32)
else()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/artifacts)
  tidewake_add_lab_test(windows_dialog ${CMAKE_CURRENT_LIST_DIR}/windows_dialog.sh
    $<TARGET_FILE:pilvorne> ${CMAKE_BINARY_DIR}/artifacts "${TIDEWAKE_WINDOWS_BUILD_DIR}")
  set_property(TEST windows_dialog APPEND PROPERTY LABELS windows)
endif()
