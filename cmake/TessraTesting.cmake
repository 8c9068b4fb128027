# tessra_add_test(NAME name LABEL label [GUI | OFFSCREEN | DESKTOP] [DISPLAY_LOCK] [LOCKS ...]
#                 SOURCES ... LIBRARIES ...)
# Builds one GoogleTest executable and registers each of its cases with CTest under the label.
#   GUI           the cases run inside a QApplication on the session's X display
#   OFFSCREEN     the cases run inside a QApplication on Qt's offscreen platform, so frames and
#                 grabs do not depend on a display
#   DESKTOP       each case runs on a small real desktop of its own (testing/test_desktop.h: a
#                 display with openbox and a tray), for stacking, focus, the tray and whole-program
#                 runs; the built program is TESSRA_BINARY
#   DISPLAY_LOCK  the cases need the keyboard focus, synthetic input or a global grab, so they
#                 run alone: any other window test could take the focus or a key half way
#   LOCKS         what else of the session the cases change and other tests read (`api_key`:
#                 the program's API key in the session's keyring; `notification_server`: the
#                 desktop notifications' name on the session bus); no two tests that hold one
#                 lock run at once
function(tessra_add_test)
  cmake_parse_arguments(ARG "GUI;OFFSCREEN;DESKTOP;DISPLAY_LOCK" "NAME;LABEL" "SOURCES;LIBRARIES;LOCKS"
                        ${ARGN})
  if(NOT TESSRA_BUILD_TESTS)
    return()
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} tessra::warnings GTest::gtest
                                            GTest::gtest_main GTest::gmock)
  if(ARG_GUI)
    target_link_libraries(${ARG_NAME} PRIVATE tessra_gui_test_main)
  elseif(ARG_DESKTOP)
    target_link_libraries(${ARG_NAME} PRIVATE tessra_desktop_test_main)
    target_compile_definitions(${ARG_NAME} PRIVATE TESSRA_BINARY="$<TARGET_FILE:tessra>")
    add_dependencies(${ARG_NAME} tessra)
  elseif(ARG_OFFSCREEN)
    target_link_libraries(${ARG_NAME} PRIVATE tessra_offscreen_test_main)
  endif()
  if(ARG_GUI OR ARG_OFFSCREEN OR ARG_DESKTOP)
    set_target_properties(${ARG_NAME} PROPERTIES AUTOMOC ON)
  endif()
  set(properties LABELS ${ARG_LABEL})
  set(locks ${ARG_LOCKS})
  if(ARG_DISPLAY_LOCK)
    list(APPEND locks display)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  if(locks)
    list(APPEND properties RESOURCE_LOCK "${locks}")
  endif()
  # A whole program with its browser processes keeps about two cores busy.
  if(ARG_DESKTOP)
    list(APPEND properties PROCESSORS 2)
  endif()
  gtest_discover_tests(${ARG_NAME}
    PROPERTIES ${properties}
    DISCOVERY_TIMEOUT 60)
endfunction()

# tessra_add_benchmark(NAME name SOURCES ... LIBRARIES ...): a benchmark program with its bars
# (bench/bars.h).
function(tessra_add_benchmark)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} tessra::warnings
                                            tessra_bench_bars)
  set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                               "${PROJECT_BINARY_DIR}/bench")
  add_dependencies(tessra_benchmarks ${ARG_NAME})
endfunction()
