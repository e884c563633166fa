# The data check on a copy of tests/data: the whole copy passes; with one file taken away, or
# a folder in its place, the check fails and names that file. Run by ctest with
# -DDATA=<tests/data> -DSCRATCH=<a scratch folder>.
file(REMOVE_RECURSE "${SCRATCH}")
file(COPY "${DATA}/" DESTINATION "${SCRATCH}")

function(check expect_failure named)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DDATA=${SCRATCH} -P "${DATA}/Files.cmake"
                    RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(expect_failure AND NOT failed)
        message(FATAL_ERROR "the check passed without ${named}")
    endif()
    if(NOT expect_failure AND failed)
        message(FATAL_ERROR "the check failed on the whole data folder: ${said}")
    endif()
    if(expect_failure AND NOT said MATCHES "lacks:.*[ \n]${named}[ \n]")
        message(FATAL_ERROR "the check's message does not name ${named}:\n${said}")
    endif()
endfunction()

check(OFF "")
foreach(file fixtures/in.wav tools/raw/lame_encode_ok.bin tools/screens/flac_version.txt
             tools/screens/mac_noargs.rc)
    file(RENAME "${SCRATCH}/${file}" "${SCRATCH}/${file}.away")
    check(ON "${file}")
    file(RENAME "${SCRATCH}/${file}.away" "${SCRATCH}/${file}")
endforeach()
file(REMOVE "${SCRATCH}/fixtures/tagged.ape")
file(MAKE_DIRECTORY "${SCRATCH}/fixtures/tagged.ape")
check(ON fixtures/tagged.ape)
file(REMOVE_RECURSE "${SCRATCH}")
