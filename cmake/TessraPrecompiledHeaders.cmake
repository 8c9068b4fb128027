# Precompiled headers, as large Qt projects use them: the third-party headers that nearly every
# window and test source includes (Qt, GoogleTest, JSON, fmt and the standard library) are
# compiled once per build and reused by every target of their kind. Our own headers stay out: a
# change to one of them must not rebuild the world.
#
#   window  the Qt Widgets headers, JSON, fmt: the window libraries (the root lists them)
#   test    GoogleTest, GoogleMock, JSON, fmt: every test and test-support library
#   qt_test the test set with the Qt Widgets headers: the GUI, OFFSCREEN and DESKTOP tests
#
# QtTest's headers stay out: they read QT_TESTCASE_BUILDDIR, which Qt defines as each test's own
# build folder, so a header compiled once would fit no other folder's tests.
#
# Each set is compiled once, in a small object library (tessra_<set>_pch), and reused with
# REUSE_FROM. GCC takes a precompiled header only where it was compiled with the same options
# (and CMake adds -Winvalid-pch, an error under CI's -Werror, where it is not), so every user of
# a set links its interface target tessra_<set>_pch_usage, which the library compiling the set
# links too: the same libraries' definitions, -fPIC and -pthread, and our warnings. Options that
# hold for the whole build (the build type, the sanitizers) are the same everywhere anyway.
#
# Only with GCC: clang (./dev fuzz) checks every definition on the command line against the
# header's and would refuse a target that links one Qt module more.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  function(tessra_precompile_headers)
  endfunction()
  return()
endif()

set(tessra_std_headers <algorithm> <chrono> <filesystem> <functional> <map> <memory> <mutex>
                       <optional> <string> <string_view> <thread> <utility> <vector>)
set(tessra_qt_headers <QApplication> <QColor> <QEvent> <QHBoxLayout> <QImage> <QKeyEvent>
                      <QLabel> <QLineEdit> <QObject> <QPainter> <QPointer> <QPushButton>
                      <QScreen> <QString> <QTimer> <QUrl> <QVBoxLayout> <QWidget> <QWindow>)
set(tessra_test_headers <gtest/gtest.h> <gmock/gmock.h>)

# tessra_add_precompiled_set(NAME set HEADERS ... LIBRARIES ...)
function(tessra_add_precompiled_set)
  cmake_parse_arguments(ARG "" "NAME" "HEADERS;LIBRARIES" ${ARGN})
  set(usage tessra_${ARG_NAME}_pch_usage)
  add_library(${usage} INTERFACE)
  target_link_libraries(${usage} INTERFACE ${ARG_LIBRARIES} tessra::warnings)
  # Qt asks for -fPIC; GLib's pkg-config flags bring -pthread (and so _REENTRANT) to some.
  target_compile_options(${usage} INTERFACE -fPIC -pthread)
  set(source "${PROJECT_BINARY_DIR}/precompiled/${ARG_NAME}.cpp")
  file(CONFIGURE OUTPUT "${source}" CONTENT "// Only carries the precompiled headers.\n")
  add_library(tessra_${ARG_NAME}_pch OBJECT "${source}")
  target_link_libraries(tessra_${ARG_NAME}_pch PRIVATE ${usage})
  target_precompile_headers(tessra_${ARG_NAME}_pch PRIVATE ${ARG_HEADERS})
endfunction()

tessra_add_precompiled_set(NAME window
  HEADERS ${tessra_std_headers} <nlohmann/json.hpp> <fmt/format.h> ${tessra_qt_headers}
  LIBRARIES Qt6::Widgets nlohmann_json::nlohmann_json fmt::fmt)
if(TESSRA_BUILD_TESTS)
  tessra_add_precompiled_set(NAME test
    HEADERS ${tessra_std_headers} <nlohmann/json.hpp> <fmt/format.h> ${tessra_test_headers}
    LIBRARIES GTest::gtest GTest::gmock nlohmann_json::nlohmann_json fmt::fmt)
  tessra_add_precompiled_set(NAME qt_test
    HEADERS ${tessra_std_headers} <nlohmann/json.hpp> <fmt/format.h> ${tessra_test_headers}
            ${tessra_qt_headers}
    LIBRARIES GTest::gtest GTest::gmock Qt6::Widgets nlohmann_json::nlohmann_json fmt::fmt)
endif()

# tessra_precompile_headers(SET set TARGETS ...): the targets compile with the set's headers.
function(tessra_precompile_headers)
  cmake_parse_arguments(ARG "" "SET" "TARGETS" ${ARGN})
  foreach(target IN LISTS ARG_TARGETS)
    target_link_libraries(${target} PRIVATE tessra_${ARG_SET}_pch_usage)
    target_precompile_headers(${target} REUSE_FROM tessra_${ARG_SET}_pch)
  endforeach()
endfunction()
