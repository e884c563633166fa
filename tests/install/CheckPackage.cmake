# Makes the Debian package of the build into a scratch folder and checks it without
# installing it: its file name, that it holds exactly what an installation holds (the
# programs executable), that its fields make apt pull in the codec tools and Qt, and that its
# unpacked files are what their readers take: the AppStream metadata with the menu entry it
# names, the machine-readable copyright file, the bash completion. Run by
# ctest with -DBUILD=<build folder> -DCPACK=<cpack> -DVERSION=<the project's version>.
set(scratch "${BUILD}/package-check")
file(REMOVE_RECURSE "${scratch}")
execute_process(COMMAND "${CPACK}" -G DEB -B "${scratch}" --config "${BUILD}/CPackConfig.cmake"
                WORKING_DIRECTORY "${BUILD}" RESULT_VARIABLE failed OUTPUT_VARIABLE said
                ERROR_VARIABLE said)
if(failed)
    message(FATAL_ERROR "cpack failed: ${failed} ${said}")
endif()

function(run_or_fail out)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE text
                    ERROR_VARIABLE problem OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed)
        message(FATAL_ERROR "${ARGN}: ${failed} ${problem}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

run_or_fail(arch dpkg --print-architecture)
set(deb "${scratch}/quarlow_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
    file(GLOB made "${scratch}/*.deb")
    message(FATAL_ERROR "no ${deb}; made: ${made}")
endif()

# The fields, one a line as dpkg-deb --info prints them.
run_or_fail(info dpkg-deb --info "${deb}")
foreach(field "Package: quarlow" "Version: ${VERSION}" "Architecture: ${arch}" "Section: sound")
    string(FIND "${info}" "\n ${field}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "no \"${field}\" in\n${info}")
    endif()
endforeach()
run_or_fail(depends dpkg-deb --field "${deb}" Depends)
string(REPLACE ", " ";" depends "${depends}")
foreach(needed lame flac libqt6widgets6)
    set(named OFF)
    foreach(dependency IN LISTS depends)
        if(dependency MATCHES "^${needed}( |$)")
            set(named ON)
        endif()
    endforeach()
    if(NOT named)
        message(FATAL_ERROR "Depends does not name ${needed}: ${depends}")
    endif()
endforeach()

# Every file of an installation under /usr, nothing else; the programs executable.
include(${CMAKE_CURRENT_LIST_DIR}/InstalledFiles.cmake)
run_or_fail(contents dpkg-deb --contents "${deb}")
string(REPLACE "\n" ";" rows "${contents}")
set(expected "")
foreach(file IN LISTS installed_files)
    list(APPEND expected "./usr/${file}")
endforeach()
set(packed "")
foreach(row IN LISTS rows)
    if(NOT row MATCHES "^-([-rwx]+) .* (\\./[^ ]+)$")
        continue() # folders and links
    endif()
    set(mode "${CMAKE_MATCH_1}")
    set(path "${CMAKE_MATCH_2}")
    list(APPEND packed "${path}")
    if(path MATCHES "/bin/" AND NOT mode MATCHES "^rwxr.xr.x")
        message(FATAL_ERROR "not executable: ${row}")
    endif()
endforeach()
list(SORT packed)
list(SORT expected)
if(NOT packed STREQUAL expected)
    message(FATAL_ERROR "the package holds\n  ${packed}\ninstead of\n  ${expected}")
endif()

set(root "${scratch}/root")
run_or_fail(unpacked dpkg-deb -x "${deb}" "${root}")
# Any warning would keep a software centre from listing the program.
run_or_fail(validated appstreamcli validate-tree --no-net --strict "${root}")
# Debian's own reader of the format, strict: a missing field or licence text is an error.
run_or_fail(read /usr/bin/python3 -c
            "import sys\nfrom debian.copyright import Copyright\nCopyright(open(sys.argv[1]), strict=True)"
            "${root}/usr/share/doc/quarlow/copyright")
run_or_fail(parsed bash -n "${root}/usr/share/bash-completion/completions/quarlow-cli")
file(REMOVE_RECURSE "${scratch}")
