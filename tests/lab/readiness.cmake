# pilvorne -Check and -Enable against the real kernel, on a lab host's veth.
if(NOT WIN32)
  tidewake_add_lab_test(lab_readiness ${CMAKE_CURRENT_LIST_DIR}/readiness.sh $<TARGET_FILE:pilvorne>)
endif()
