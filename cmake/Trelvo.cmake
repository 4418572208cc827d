# trelvo_add_test(name SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# One GoogleTest executable registered with CTest. QT tests get a main()
# that creates a QApplication first; every test runs with the offscreen
# platform, its own settings folder and the source content folder.
function(trelvo_add_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_QT)
    target_link_libraries(${name} PRIVATE trelvo_test_qtmain)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    TRELVO_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    TRELVO_CONTENT_DIR="${TRELVO_SOURCE_CONTENT_DIR}"
    TRELVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TRELVO_CONTENT=${TRELVO_SOURCE_CONTENT_DIR};TRELVO_SETTINGS_DIR=${CMAKE_BINARY_DIR}/test-settings/${name}"
    TIMEOUT 600)
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
macro(trelvo_add_subfolders)
  file(GLOB _trelvo_children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _trelvo_children)
  foreach(_child ${_trelvo_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
