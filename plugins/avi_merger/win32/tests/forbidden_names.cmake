# cmake -DFOLDER=<folder> [-DMOVIE=<an AVI file>] -P forbidden_names.cmake
# A folder of AVI files whose names Windows forbids, beside good ones (copies of MOVIE when it
# exists). Windows programs cannot make such names, but the Unix side of Wine can, and Wine lists
# them as they are.
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
foreach(name "x\" & echo INJECTED & \".avi" "a: b.avi" "tab\there.avi" "good 1.avi" "good 2.avi")
    if(name MATCHES "^good" AND EXISTS "${MOVIE}")
        file(COPY_FILE "${MOVIE}" "${FOLDER}/${name}")
    else()
        file(WRITE "${FOLDER}/${name}" "RIFF")
    endif()
endforeach()
