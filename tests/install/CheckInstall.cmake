# Installs the build into a fresh prefix and checks what a desktop needs of it: both
# programs, the menu entry (valid for the desktop's tools) and the icon. Run by ctest with
# -DBUILD=<build folder>.
set(prefix "${BUILD}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed: ${failed}")
endif()
foreach(file bin/quarlow bin/quarlow-cli share/applications/quarlow.desktop
             share/icons/hicolor/scalable/apps/quarlow.svg)
    if(NOT EXISTS "${prefix}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
execute_process(COMMAND desktop-file-validate "${prefix}/share/applications/quarlow.desktop"
                RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(failed OR said)
    message(FATAL_ERROR "desktop-file-validate: ${failed} ${said}")
endif()
file(REMOVE_RECURSE "${prefix}")
message(STATUS "1 passed, 0 failed: installed programs, menu entry and icon")
