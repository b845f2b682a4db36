find_package(Qt${QT_VERSION_MAJOR} REQUIRED COMPONENTS Test)

set(VANDREL_TEST_ENV
    QT_QPA_PLATFORM=offscreen
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "VANDREL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")

# Cross-built for Windows, the tests run under Wine: it hands no QT_* variable
# to a program (WINEQT_* arrive as QT_*), windows need its X11 driver (run
# CTest under Xvfb), and the Linux file system is drive Z:.
set(VANDREL_TEST_PATH_PREFIX "")
if(CMAKE_CROSSCOMPILING AND WIN32)
    set(VANDREL_TEST_PATH_PREFIX "Z:")
    set(VANDREL_TEST_ENV WINEQT_FORCE_STDERR_LOGGING=1 WINEDEBUG=-all
        "VANDREL_SOURCE_DIR=Z:${CMAKE_SOURCE_DIR}")
endif()

# Qt's test headers, parsed once per build rather than once per test file:
# one precompiled header for the tests on QtCore, one for the window tests
# (QTest pulls in its Gui and Widgets parts by the *_LIB definitions, so the
# two differ).
set(vandrel_pch_source ${CMAKE_BINARY_DIR}/vandrel_testpch.cpp)
file(GENERATE OUTPUT ${vandrel_pch_source} CONTENT "// The precompiled header's own translation unit.\n")
# Qt's Test target defines each test's own folders, used only by QFINDTESTDATA
# (which no test uses); left defined, they would make the shared header
# unusable for every test but one.
if(MSVC)
    set(vandrel_test_options /UQT_TESTCASE_BUILDDIR /UQT_TESTCASE_SOURCEDIR)
else()
    set(vandrel_test_options -UQT_TESTCASE_BUILDDIR -UQT_TESTCASE_SOURCEDIR)
endif()
# Only what every test includes itself, so that no test leans on a header
# that it does not name.
set(vandrel_pch_headers <QTest>)

add_library(vandrel_testpch_core OBJECT ${vandrel_pch_source})
target_link_libraries(vandrel_testpch_core PRIVATE Qt${QT_VERSION_MAJOR}::Test)
target_compile_options(vandrel_testpch_core PRIVATE ${vandrel_test_options})
target_precompile_headers(vandrel_testpch_core PRIVATE ${vandrel_pch_headers})
if(VANDREL_BUILD_GUI)
    add_library(vandrel_testpch_widgets OBJECT ${vandrel_pch_source})
    target_link_libraries(vandrel_testpch_widgets PRIVATE Qt${QT_VERSION_MAJOR}::Test
                          Qt${QT_VERSION_MAJOR}::Widgets)
    target_compile_options(vandrel_testpch_widgets PRIVATE ${vandrel_test_options})
    target_precompile_headers(vandrel_testpch_widgets PRIVATE ${vandrel_pch_headers})
endif()

# vandrel_add_qtest(NAME SOURCES src... [LIBRARIES lib...] [WIDGETS] [PER_FUNCTION])
# One QtTest program, registered with CTest and run offscreen. WIDGETS: it
# links Qt Widgets. PER_FUNCTION: each test function is a CTest test of its
# own (learnt from the built program), so that a long program runs in
# parallel; not when cross-built, where the program cannot run at build time.
function(vandrel_add_qtest name)
    cmake_parse_arguments(ARG "WIDGETS;PER_FUNCTION" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt${QT_VERSION_MAJOR}::Test ${ARG_LIBRARIES})
    target_compile_options(${name} PRIVATE ${vandrel_test_options})
    if(ARG_WIDGETS)
        target_precompile_headers(${name} REUSE_FROM vandrel_testpch_widgets)
    else()
        target_precompile_headers(${name} REUSE_FROM vandrel_testpch_core)
    endif()
    if(NOT ARG_PER_FUNCTION OR CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${VANDREL_TEST_ENV}")
        return()
    endif()

    set(functions_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_functions.cmake)
    set(environment_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.txt)
    set(properties "ENVIRONMENT [==[${VANDREL_TEST_ENV}]==]")
    file(GENERATE OUTPUT ${environment_file} CONTENT "${properties}")
    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -D PROGRAM=$<TARGET_FILE:${name}> -D TEST_NAME=${name}
                -D OUTPUT=${functions_file} -D ENVIRONMENT_FILE=${environment_file}
                -P ${PROJECT_SOURCE_DIR}/cmake/VandrelTestFunctions.cmake
        VERBATIM)
    # Read by CTest; until the program is built, a test that says so.
    set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake)
    file(WRITE ${include_file}
        "if(EXISTS [==[${functions_file}]==])\n"
        "    include([==[${functions_file}]==])\n"
        "else()\n"
        "    add_test([==[${name}_NOT_BUILT]==] [==[${name}_NOT_BUILT]==])\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
