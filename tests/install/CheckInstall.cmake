# Installs the build into a fresh prefix and checks what a desktop needs of it: both
# programs, the menu entry (valid for the desktop's tools), the icon and the user guide, the
# guide also beside the built programs. Run by ctest with -DBUILD=<build folder>
# -DSOURCE=<source folder>.
set(prefix "${BUILD}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed: ${failed}")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/InstalledFiles.cmake)
foreach(file IN LISTS installed_files)
    if(NOT EXISTS "${prefix}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
execute_process(COMMAND desktop-file-validate "${prefix}/share/applications/quarlow.desktop"
                RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(failed OR said)
    message(FATAL_ERROR "desktop-file-validate: ${failed} ${said}")
endif()
# The program finds the guide relative to its own folder: build/app/quarlow as
# <prefix>/bin/quarlow does. Both copies are the source's.
foreach(guide "${prefix}/share/doc/quarlow/guide.html" "${BUILD}/share/doc/quarlow/guide.html")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SOURCE}/data/guide.html"
                            "${guide}" RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "not a copy of data/guide.html: ${guide}")
    endif()
endforeach()
# The guide is read without a network: nothing it shows may come from elsewhere.
file(READ "${prefix}/share/doc/quarlow/guide.html" guide)
if(guide MATCHES "(src=|<link|@import|url\\()")
    message(FATAL_ERROR "the guide loads something from outside: ${CMAKE_MATCH_1}")
endif()
file(REMOVE_RECURSE "${prefix}")
message(STATUS "1 passed, 0 failed: installed programs, menu entry, icon and guide")
