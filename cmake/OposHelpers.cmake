# Test code only drives the libraries, so it is built for a short compile rather than for
# speed: no optimisation, line tables only (enough for backtraces and sanitizer reports), and
# all sources of one test target compiled as a single unit, so the GoogleTest, Qt and control
# object headers are parsed once per target instead of once per file. For full debug info in
# the tests: -DOPOS_TEST_COMPILE_OPTIONS="-O0;-g".
set(OPOS_TEST_COMPILE_OPTIONS -O0 -g1 CACHE STRING "Compile options of test executables and rigs")

# opos_test_code(TARGET...)
# Marks targets as test code: test executables, their rigs and test-only libraries.
function(opos_test_code)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE ${OPOS_TEST_COMPILE_OPTIONS})
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
  endforeach()
endfunction()

# opos_add_test(NAME SOURCES... [LIBS ...] [WINDOWS])
# One GoogleTest executable; each test case is registered with ctest. WINDOWS: the cases
# open Qt windows, on the offscreen platform with one 1280 x 800 screen, from the Qt test
# main; ui_qt::FitsScreens (window_fit.h) checks a window at 1280 x 800 and 1024 x 768 and
# saves its screenshots under out/screenshots/.
function(opos_add_test name)
  cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  opos_test_code(${name})
  set(environment "OPOS_BUILD_DIR=${CMAKE_BINARY_DIR}")
  if(T_WINDOWS)
    target_link_libraries(${name} PRIVATE opos_ui_qt_testing Qt6::Test GTest::gmock ${T_LIBS})
    target_compile_definitions(${name} PRIVATE
      SCREENSHOT_DIR="${PROJECT_SOURCE_DIR}/out/screenshots"
      REPOSITORY_ROOT="${PROJECT_SOURCE_DIR}")
    string(APPEND environment ";QT_QPA_PLATFORM=offscreen")
    opos_qt_tsan_suppressions(${name})
    if(OPOS_ASAN)
      target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/platform/ui_qt/qt_leak_sanitizer.cpp)
      set_source_files_properties(${PROJECT_SOURCE_DIR}/platform/ui_qt/qt_leak_sanitizer.cpp
        TARGET_DIRECTORY ${name} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${T_LIBS})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${environment}")
endfunction()

# opos_qt_tsan_suppressions(TARGET...)
# Under ThreadSanitizer, Qt programs and tests carry suppressions for races reported inside
# the uninstrumented Qt libraries (see platform/ui_qt/qt_thread_sanitizer.cpp).
function(opos_qt_tsan_suppressions)
  if(OPOS_TSAN)
    foreach(target ${ARGN})
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/ui_qt/qt_thread_sanitizer.cpp)
      # Its hook must stay a file of its own, not part of a target's single unit.
      set_source_files_properties(${PROJECT_SOURCE_DIR}/platform/ui_qt/qt_thread_sanitizer.cpp
        TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endforeach()
  endif()
endfunction()
