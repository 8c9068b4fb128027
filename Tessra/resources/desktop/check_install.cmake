# Installs the build into a fresh folder and checks that the program, its menu entry and its
# icon land where desktops look for them, and that the entry is valid.
set(prefix "${BUILD_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()
foreach(path bin/tessra share/applications/tessra.desktop
             share/icons/hicolor/scalable/apps/tessra.svg)
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
execute_process(COMMAND "${VALIDATE}" "${prefix}/share/applications/tessra.desktop"
                RESULT_VARIABLE valid OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT valid EQUAL 0 OR NOT report STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${report}")
endif()
file(STRINGS "${prefix}/share/applications/tessra.desktop" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=tessra")
  message(FATAL_ERROR "unexpected ${exec}")
endif()
file(REMOVE_RECURSE "${prefix}")
