# opos_add_test(NAME SOURCES... [LIBS ...])
# One GoogleTest executable; each test case is registered with ctest.
function(opos_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${T_LIBS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "OPOS_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
