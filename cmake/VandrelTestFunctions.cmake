# Run after a test program is built (cmake -P): asks the QtTest program for
# its test functions and writes one CTest test per function, so that
# ctest -j runs the functions of a long program side by side.
#   -D PROGRAM=path -D TEST_NAME=name -D OUTPUT=file -D ENVIRONMENT_FILE=file
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "${PROGRAM}" -functions
    OUTPUT_VARIABLE listing
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} -functions failed (${status}):\n${listing}")
endif()

string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" functions "${listing}")
if(NOT functions)
    message(FATAL_ERROR "${PROGRAM} -functions listed no test function:\n${listing}")
endif()

file(READ "${ENVIRONMENT_FILE}" properties)
set(script "")
foreach(function IN LISTS functions)
    string(REPLACE "()" "" function "${function}")
    string(APPEND script "add_test([=[${TEST_NAME}.${function}]=] [=[${PROGRAM}]=] [=[${function}]=])\n"
                         "set_tests_properties([=[${TEST_NAME}.${function}]=] PROPERTIES ${properties})\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${script}")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
