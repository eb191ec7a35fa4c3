# add_unit_test(name SOURCES... LIBS...): one GoogleTest executable, one CTest test.
# Under a cross build CTest runs it through the Wine runner (CMAKE_CROSSCOMPILING_EMULATOR).
function(add_unit_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
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
