# cmake -D PROGRAM=... -D INPUT=... -D EXPECTED=... -P compare_output.cmake
# Runs PROGRAM on INPUT and fails unless it exits with 0, writes nothing on standard
# error and prints exactly the content of EXPECTED.
execute_process(COMMAND ${PROGRAM} ${INPUT}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(READ ${EXPECTED} expected)
if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} ${INPUT}: exit ${result}\n${errors}")
endif()
if(NOT output STREQUAL expected)
    message(FATAL_ERROR "${PROGRAM} ${INPUT}: output differs from ${EXPECTED}:\n${output}")
endif()
