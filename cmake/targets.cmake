# add_unit_test(name SOURCES... LIBS...): one GoogleTest executable, one CTest test.
# Under a cross build CTest runs it through the Wine runner (CMAKE_CROSSCOMPILING_EMULATOR).
function(add_unit_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    # A hung test fails the run instead of holding it until CI gives up.
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
    if(CMAKE_CROSSCOMPILING)
        # Wine's 64-bit loader ends a crashed process with status 0 once its debugger has printed
        # the backtrace, so the crash report itself is what fails the test.
        set_tests_properties(${name} PROPERTIES FAIL_REGULAR_EXPRESSION "wine: Unhandled")
    endif()
endfunction()

# add_windows_program(name SOURCES... LIBS...): a GUI executable with Unicode entry point.
function(add_windows_program name)
    cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} WIN32 ${P_SOURCES})
    target_link_libraries(${name} PRIVATE ${P_LIBS})
    if(MINGW)
        target_link_options(${name} PRIVATE -municode)
    elseif(MSVC)
        # The program's own manifest is a resource; the linker must not add a second one.
        target_link_options(${name} PRIVATE /MANIFEST:NO)
    endif()
endfunction()

# add_window_test(name SOURCES... LIBS...): a unit test of windows, carrying the programs' manifest.
function(add_window_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_unit_test(${name} SOURCES ${T_SOURCES} ${PROJECT_SOURCE_DIR}/common/win32/tests/window_test.rc
                  LIBS ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/common/win32)
endfunction()

# use_test_movies(target): the target reads the small AVI files that scripts/test-movies makes
# with the Linux encoder, in the folder named by TEST_MOVIES. Where there is no such encoder,
# TEST_MOVIES stays undefined and the tests that need the movies are skipped.
function(use_test_movies target)
    find_program(MENCODER mencoder)
    if(NOT CMAKE_HOST_UNIX OR NOT MENCODER)
        return()
    endif()
    set(movies ${CMAKE_BINARY_DIR}/movies)
    if(NOT TARGET test_movies)
        add_custom_command(OUTPUT ${movies}/made
            COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-movies ${movies}
            COMMAND ${CMAKE_COMMAND} -E touch ${movies}/made
            DEPENDS ${PROJECT_SOURCE_DIR}/scripts/test-movies
            COMMENT "Making the test movies" VERBATIM)
        add_custom_target(test_movies DEPENDS ${movies}/made)
    endif()
    add_dependencies(${target} test_movies)
    target_compile_definitions(${target} PRIVATE TEST_MOVIES="${movies}")
endfunction()
