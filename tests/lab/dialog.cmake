# kestrava's dialog under a virtual display on the lab LAN, with pilvorne as the witness.
if(NOT WIN32)
  add_executable(dialog_selection ${CMAKE_CURRENT_LIST_DIR}/dialog_selection.cpp)
  target_link_libraries(dialog_selection PRIVATE tidewake_options PkgConfig::GTK3)
  # Loaded into kestrava by GTK (GTK_MODULES): the texts of the dialog's labels.
  add_library(dialog_labels MODULE ${CMAKE_CURRENT_LIST_DIR}/dialog_labels.cpp)
  target_link_libraries(dialog_labels PRIVATE tidewake_options PkgConfig::GTK3)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/artifacts)
  tidewake_add_lab_test(lab_dialog ${CMAKE_CURRENT_LIST_DIR}/dialog.sh
    $<TARGET_FILE:kestrava> $<TARGET_FILE:pilvorne> $<TARGET_FILE:dialog_selection>
    ${CMAKE_BINARY_DIR}/artifacts $<TARGET_FILE:dialog_labels>)
endif()
