# Runs vuz-cli once and checks what a user sees.
#   PROGRAM, ARGS (a list), EMULATOR (may be empty), EXIT_CODE
#   OUTPUT_MATCH / ERROR_MATCH: regular expressions standard output / error must match
#   WINE_HID_DEVICES: standard output is a JSON list with this many devices of vendor 0x845E
execute_process(
    COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
    RESULT_VARIABLE code
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 120)
message(STATUS "exit code: ${code}\nstandard output:\n${out}\nstandard error:\n${err}")
if(NOT code STREQUAL "${EXIT_CODE}")
    message(FATAL_ERROR "exit code ${code}, expected ${EXIT_CODE}")
endif()
if(DEFINED OUTPUT_MATCH AND NOT out MATCHES "${OUTPUT_MATCH}")
    message(FATAL_ERROR "standard output does not match: ${OUTPUT_MATCH}")
endif()
if(DEFINED ERROR_MATCH AND NOT err MATCHES "${ERROR_MATCH}")
    message(FATAL_ERROR "standard error does not match: ${ERROR_MATCH}")
endif()
if(DEFINED WINE_HID_DEVICES)
    string(JSON count ERROR_VARIABLE json_error LENGTH "${out}")
    if(json_error)
        message(FATAL_ERROR "standard output is no JSON list: ${json_error}")
    endif()
    set(wine_devices 0)
    if(count GREATER 0)
        math(EXPR last "${count} - 1")
        foreach(index RANGE ${last})
            string(JSON vendor GET "${out}" ${index} vendorId)
            string(JSON adapter GET "${out}" ${index} adapter)
            foreach(field product path usagePage inputReportLength)
                string(JSON value ERROR_VARIABLE missing GET "${out}" ${index} ${field})
                if(missing)
                    message(FATAL_ERROR "device ${index} has no ${field}")
                endif()
            endforeach()
            if(vendor EQUAL 33886) # 0x845E
                math(EXPR wine_devices "${wine_devices} + 1")
            endif()
            if(adapter)
                message(FATAL_ERROR "device ${index} is taken for the adapter")
            endif()
        endforeach()
    endif()
    if(NOT wine_devices EQUAL WINE_HID_DEVICES)
        message(FATAL_ERROR "${wine_devices} devices of vendor 0x845E, expected ${WINE_HID_DEVICES}")
    endif()
endif()
