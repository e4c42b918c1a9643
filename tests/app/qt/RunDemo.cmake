# Runs vuz-demo's offscreen scenario and fails unless it exits 0, writes the command to the
# adapter, completes, and prints nothing but its own lines (no platform chatter, nothing on
# standard error). Usage: cmake -DDEMO=<vuz-demo> -P RunDemo.cmake
execute_process(COMMAND "${DEMO}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "vuz-demo exited with ${rc}\n${err}")
endif()
if(NOT out MATCHES "write +to DEMO0001: 05 00 02 00 00 00 00 00.*scenario complete")
    message(FATAL_ERROR "the scenario did not write the command and complete")
endif()
if(NOT err STREQUAL "")
    message(FATAL_ERROR "vuz-demo wrote to standard error:\n${err}")
endif()
string(REGEX REPLACE "\n$" "" out "${out}")
# Semicolons in the text would split the lines further.
string(REPLACE ";" "," out "${out}")
string(REPLACE "\n" ";" lines "${out}")
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^\\[ *[0-9]+\\.[0-9][0-9][0-9] s\\] [a-z]+ ")
        message(FATAL_ERROR "not one of the demo's own lines: \"${line}\"")
    endif()
endforeach()
