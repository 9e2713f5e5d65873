# The programs' version information, written once: the top CMakeLists.txt names the versions,
# tidewake_version() generates each program's Windows resource script and its version record.

# tidewake_version(NAME FILE_VERSION a.b.c.d PRODUCT_VERSION a.b.c.d SEPARATOR text
#                  PRODUCT_NAME name): writes NAME_version.rc and NAME_version.cpp into the
# current build folder and sets NAME_VERSION_RC and NAME_VERSION_SOURCE to them (cache
# variables, so that the tests of any folder can link a program's version information too).
# The version strings are written with SEPARATOR between the parts ("2. 0. 0. 4" with ". ").
function(tidewake_version name)
  cmake_parse_arguments(V "" "FILE_VERSION;PRODUCT_VERSION;SEPARATOR;PRODUCT_NAME" "" ${ARGN})
  set(VERSION_NAME ${name})
  set(VERSION_PRODUCT_NAME ${V_PRODUCT_NAME})
  string(REPLACE "." "," VERSION_FILE_COMMAS ${V_FILE_VERSION})
  string(REPLACE "." "," VERSION_PRODUCT_COMMAS ${V_PRODUCT_VERSION})
  string(REPLACE "." "${V_SEPARATOR}" VERSION_FILE_TEXT ${V_FILE_VERSION})
  string(REPLACE "." "${V_SEPARATOR}" VERSION_PRODUCT_TEXT ${V_PRODUCT_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_record.cpp.in ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.cpp @ONLY)
  set(${name}_VERSION_RC ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc CACHE INTERNAL "")
  set(${name}_VERSION_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.cpp CACHE INTERNAL "")
  set(${name}_VERSION_TEXT ${VERSION_FILE_TEXT} CACHE INTERNAL "")
endfunction()
