# qd40_add_test(NAME SOURCES... LIBS...): one GoogleTest executable registered
# with CTest. Its main (cmake/test_main.cpp) fixes the environment every test
# relies on: the C locale, Qt's offscreen platform and QD40_BIN_DIR, the folder
# of the built programs that end-to-end tests start.
if(QD40_BUILD_TESTS AND NOT TARGET qd40_test_main)
  add_library(qd40_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/test_main.cpp)
  target_link_libraries(qd40_test_main PUBLIC GTest::gtest GTest::gmock)
  target_compile_definitions(qd40_test_main PRIVATE
    QD40_BIN_DIR_DEFAULT="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
endif()

function(qd40_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT QD40_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qd40_test_main GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
