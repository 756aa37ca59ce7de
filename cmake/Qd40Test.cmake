# qd40_add_test(NAME SOURCES... LIBS...): one GoogleTest executable registered with CTest.
# Every test runs with a private registry and runtime folder so that nothing
# touches the user's real settings.
function(qd40_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT QD40_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT
      "LC_ALL=C;LANG=C;QT_QPA_PLATFORM=offscreen;QD40_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${T_ENV}"
      TIMEOUT 300)
endfunction()
