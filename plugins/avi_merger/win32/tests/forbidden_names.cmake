# cmake -DFOLDER=<folder> -P forbidden_names.cmake
# A folder of AVI files whose names Windows forbids, beside good ones. Windows programs cannot
# make such names, but the Unix side of Wine can, and Wine lists them as they are.
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
foreach(name "x\" & echo INJECTED & \".avi" "a: b.avi" "tab\there.avi" "good 1.avi" "good 2.avi")
    file(WRITE "${FOLDER}/${name}" "RIFF")
endforeach()
