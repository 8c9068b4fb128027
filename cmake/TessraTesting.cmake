# tessra_add_test(NAME name LABEL label SOURCES ... LIBRARIES ...)
# Builds one GoogleTest executable and registers each of its cases with CTest under the label.
function(tessra_add_test)
  cmake_parse_arguments(ARG "" "NAME;LABEL" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT TESSRA_BUILD_TESTS)
    return()
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main
                                            GTest::gmock)
  gtest_discover_tests(${ARG_NAME}
    PROPERTIES LABELS ${ARG_LABEL}
    DISCOVERY_TIMEOUT 60)
endfunction()

# tessra_add_benchmark(NAME name SOURCES ... LIBRARIES ...)
function(tessra_add_benchmark)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} benchmark::benchmark)
  set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                               "${PROJECT_BINARY_DIR}/bench")
  add_dependencies(tessra_benchmarks ${ARG_NAME})
endfunction()
