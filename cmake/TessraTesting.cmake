# The labels whose tests all start the embedded browser (see BROWSER below).
set(TESSRA_BROWSER_LABELS page chat_window e2e)
if(TESSRA_BUILD_TESTS)
  add_custom_target(tessra_tests)
endif()

# tessra_add_test(NAME name LABEL label [GUI | OFFSCREEN | DESKTOP [DESKTOPS kind...] [MONITORS n]]
#                 [DISPLAY_LOCK] [BROWSER] [LOCKS ...] SOURCES ... LIBRARIES ...)
# Builds one GoogleTest executable and registers each of its cases with CTest under the label.
# The executable compiles with the precompiled test headers (cmake/TessraPrecompiledHeaders.cmake)
# and is part of the target `tessra_tests`, which builds every test and nothing else.
#   GUI           the cases run inside a QApplication on the session's X display
#   OFFSCREEN     the cases run inside a QApplication on Qt's offscreen platform, so frames and
#                 grabs do not depend on a display
#   DESKTOP       each case runs on a small real desktop of its own (testing/test_desktop.h: a
#                 display and a bus with a window manager and a tray), for stacking, focus, the
#                 tray and whole-program runs; the built program is TESSRA_BINARY, built first
#                 where the browser's tests are (the program starts the browser, so every test
#                 that runs it is one of them)
#   DESKTOPS      the kinds of desktop each case runs on, once on each (`openbox`, the default:
#                 an XEmbed tray and a work area; `xfce`: a tray that hosts items over D-Bus and a
#                 notification server on request; `i3`: a tiling manager without a work area);
#                 CTest names a case run elsewhere than on openbox with the kind as a suffix
#                 ("Suite.Case/xfce"), and the case finds it in TestDesktop::current().kind()
#   MONITORS      how many monitors of 1920x1080 the desktop's screen holds side by side (1 when
#                 not given)
#   DISPLAY_LOCK  the cases need the keyboard focus, synthetic input or a global grab, so they
#                 run alone: any other window test could take the focus or a key half way
#   LOCKS         what else of the session the cases change and other tests read (`api_key`:
#                 the program's API key in the session's keyring; `login_keyring`: items stored
#                 and removed at a fast pace in the login keyring, whose daemon, rewriting and
#                 reloading its file under many writers at once, once asked for a password
#                 prompt nobody answers; `notification_server`: the desktop notifications' name
#                 on the session bus); no two tests that hold one lock run at once
#   BROWSER       the cases start the embedded browser, themselves or through the program, as do
#                 all of the labels in TESSRA_BROWSER_LABELS; a build with TESSRA_BROWSER_TESTS
#                 off (the address-sanitized one: the browser's engine does not run under it)
#                 leaves them out
function(tessra_add_test)
  cmake_parse_arguments(ARG "GUI;OFFSCREEN;DESKTOP;DISPLAY_LOCK;BROWSER" "NAME;LABEL;MONITORS"
                        "SOURCES;LIBRARIES;LOCKS;DESKTOPS" ${ARGN})
  if(NOT TESSRA_BUILD_TESTS)
    return()
  endif()
  if(NOT TESSRA_BROWSER_TESTS AND (ARG_BROWSER OR ARG_LABEL IN_LIST TESSRA_BROWSER_LABELS))
    return()
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  add_dependencies(tessra_tests ${ARG_NAME})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} tessra::warnings GTest::gtest
                                            GTest::gtest_main GTest::gmock)
  if(ARG_GUI)
    target_link_libraries(${ARG_NAME} PRIVATE tessra::gui_test_main)
  elseif(ARG_DESKTOP)
    target_link_libraries(${ARG_NAME} PRIVATE tessra::desktop_test_main)
    target_compile_definitions(${ARG_NAME} PRIVATE TESSRA_BINARY="$<TARGET_FILE:tessra>")
    if(TESSRA_BROWSER_TESTS)
      add_dependencies(${ARG_NAME} tessra)
    endif()
  elseif(ARG_OFFSCREEN)
    target_link_libraries(${ARG_NAME} PRIVATE tessra::offscreen_test_main)
  endif()
  if(ARG_GUI OR ARG_OFFSCREEN OR ARG_DESKTOP)
    set_target_properties(${ARG_NAME} PROPERTIES AUTOMOC ON)
    tessra_precompile_headers(SET qt_test TARGETS ${ARG_NAME})
  else()
    tessra_precompile_headers(SET test TARGETS ${ARG_NAME})
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
  if(NOT ARG_DESKTOP)
    gtest_discover_tests(${ARG_NAME}
      PROPERTIES ${properties}
      DISCOVERY_TIMEOUT 60)
    return()
  endif()
  if(NOT ARG_DESKTOPS)
    set(ARG_DESKTOPS openbox)
  endif()
  if(NOT ARG_MONITORS)
    set(ARG_MONITORS 1)
  endif()
  foreach(desktop IN LISTS ARG_DESKTOPS)
    if(NOT desktop MATCHES "^(openbox|xfce|i3)$")
      message(FATAL_ERROR "${ARG_NAME}: no test desktop is called \"${desktop}\"")
    endif()
    set(suffix "")
    if(NOT desktop STREQUAL "openbox")
      set(suffix "/${desktop}")
    endif()
    gtest_discover_tests(${ARG_NAME}
      TEST_SUFFIX "${suffix}"
      PROPERTIES ${properties} ENVIRONMENT "TESSRA_TEST_DESKTOP=${desktop}"
        ENVIRONMENT_MODIFICATION "TESSRA_TEST_MONITORS=set:${ARG_MONITORS}"
      DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()

# tessra_add_test_support(NAME name SOURCES ... LIBRARIES ...)
# The helpers that the tests of several executables share (fixtures, fakes, loaders),
# `tessra::<name>`: compiled once, never listed in several tests' SOURCES. An object library, so
# a test that links it gets every object as if the files were its own, static initialisers
# included (a helper may set the process up before the first case); link it directly.
# It exists only when the tests are built.
function(tessra_add_test_support)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT TESSRA_BUILD_TESTS)
    return()
  endif()
  add_library(tessra_${ARG_NAME} OBJECT ${ARG_SOURCES})
  add_library(tessra::${ARG_NAME} ALIAS tessra_${ARG_NAME})
  target_link_libraries(tessra_${ARG_NAME} PUBLIC ${ARG_LIBRARIES} GTest::gtest)
  tessra_precompile_headers(SET test TARGETS tessra_${ARG_NAME})
endfunction()

# tessra_add_benchmark(NAME name SOURCES ... LIBRARIES ...): a benchmark program with its bars
# (bench/bars.h).
function(tessra_add_benchmark)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} tessra::warnings
                                            tessra::bench_bars)
  set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                               "${PROJECT_BINARY_DIR}/bench")
  add_dependencies(tessra_benchmarks ${ARG_NAME})
endfunction()
