# opos_add_test(NAME SOURCES... [LIBS ...])
# One GoogleTest executable; each test case is registered with ctest.
function(opos_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${T_LIBS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "OPOS_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# opos_qt_tsan_suppressions(TARGET...)
# Under ThreadSanitizer, Qt programs and tests carry suppressions for races reported inside
# the uninstrumented Qt libraries (see platform/ui_qt/qt_thread_sanitizer.cpp).
function(opos_qt_tsan_suppressions)
  if(OPOS_TSAN)
    foreach(target ${ARGN})
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/ui_qt/qt_thread_sanitizer.cpp)
    endforeach()
  endif()
endfunction()
