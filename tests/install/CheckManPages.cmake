# The manual page of each program names every option its --help shows, and has the sections a
# user looks for: the exit statuses, the settings file and examples. Run by ctest with
# -DPAGES=<folder of the built pages> -DPROGRAMS=<program>;<program>... (their paths).
foreach(program IN LISTS PROGRAMS)
    get_filename_component(name "${program}" NAME)
    execute_process(COMMAND "${program}" --help RESULT_VARIABLE failed OUTPUT_VARIABLE help
                    ERROR_VARIABLE problem)
    if(failed)
        message(FATAL_ERROR "${name} --help: ${failed} ${problem}")
    endif()
    set(page "${PAGES}/${name}.1.gz")
    # Wide enough that no row breaks inside an option.
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env MANWIDTH=1000 LC_ALL=C.UTF-8
                            man --no-hyphenation --no-justification -l "${page}"
                    RESULT_VARIABLE failed OUTPUT_VARIABLE shown ERROR_VARIABLE problem)
    if(failed OR problem)
        message(FATAL_ERROR "man -l ${page}: ${failed} ${problem}")
    endif()

    string(REGEX MATCHALL "\n  +-[-a-z]+" options "\n${help}")
    if(NOT options)
        message(FATAL_ERROR "no option in the --help of ${name}:\n${help}")
    endif()
    foreach(option IN LISTS options)
        string(STRIP "${option}" option)
        if(NOT shown MATCHES "(^|[^-a-z])${option}([^-a-z]|$)")
            message(FATAL_ERROR "the manual page of ${name} does not name ${option}")
        endif()
    endforeach()
    foreach(section "\nEXIT STATUS\n" "\nFILES\n" "KPZ05.json" "\nEXAMPLES\n")
        string(FIND "${shown}" "${section}" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "the manual page of ${name} lacks \"${section}\":\n${shown}")
        endif()
    endforeach()
endforeach()
