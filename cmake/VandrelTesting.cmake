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

# vandrel_add_qtest(NAME SOURCES src... [LIBRARIES lib...])
# One QtTest program, registered with CTest and run offscreen.
function(vandrel_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt${QT_VERSION_MAJOR}::Test ${ARG_LIBRARIES})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${VANDREL_TEST_ENV}")
endfunction()
