# The library exports exactly its eight entry points: nothing more may leak into the dynamic
# symbol table, or the program could bind to internals.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* " "" name "${line}")
    list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected CloseComPort CloseLPTPort CommunicateRFResult FreeComData GetCOMDLLVersion
    OpenComPort OpenLPTPort SetCommBaud)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
