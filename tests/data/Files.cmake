# Every file of tests/data, relative to it. "cmake -DDATA=<folder> -P Files.cmake" checks a
# folder; the tests' configure step checks tests/data with quarlow_check_test_data().

set(quarlow_fixtures corrupt.ape corrupt.flac in.ape in.flac in.wav notaudio.flac tagged.ape
                     truncated.ape truncated.flac)
# Each capture is raw/NAME.bin (the bytes) and screens/NAME.txt (the screen).
set(quarlow_captures
    flac_decode_badoutdir flac_decode_corrupt flac_decode_long flac_decode_missing
    flac_decode_notflac flac_decode_ok flac_decode_truncated flac_noargs flac_version
    lame_encode_badgenre lame_encode_badgenre_num lame_encode_badopt lame_encode_empty
    lame_encode_hist lame_encode_mid lame_encode_missing lame_encode_ok lame_encode_tiny
    lame_encode_tiny10ms lame_encode_unwritable lame_encode_unwritable_proc lame_longhelp
    lame_noargs lame_version mac_compress_ok mac_decode_badoutdir mac_decode_corrupt
    mac_decode_long mac_decode_missing mac_decode_ok mac_decode_tagged mac_decode_truncated
    mac_noargs mac_tag metaflac_noargs metaflac_show_tags metaflac_show_tags_missing
    metaflac_version)
# The exit statuses the mac stand-in is held to.
set(quarlow_capture_statuses mac_decode_badoutdir mac_decode_corrupt mac_decode_missing
                             mac_noargs)

function(quarlow_check_test_data folder)
    set(files "")
    foreach(name IN LISTS quarlow_fixtures)
        list(APPEND files fixtures/${name})
    endforeach()
    foreach(name IN LISTS quarlow_captures)
        list(APPEND files tools/raw/${name}.bin tools/screens/${name}.txt)
    endforeach()
    foreach(name IN LISTS quarlow_capture_statuses)
        list(APPEND files tools/screens/${name}.rc)
    endforeach()
    set(missing "")
    foreach(file IN LISTS files)
        if(NOT EXISTS "${folder}/${file}" OR IS_DIRECTORY "${folder}/${file}")
            list(APPEND missing "${file}")
        endif()
    endforeach()
    if(missing)
        list(JOIN missing "\n  " missing)
        message(FATAL_ERROR "The tests' data folder ${folder} lacks:\n  ${missing}\n"
                            "Restore it from the repository (git checkout -- tests/data), or "
                            "configure with -DQUARLOW_TESTS=OFF to build without the tests.")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    quarlow_check_test_data("${DATA}")
endif()
