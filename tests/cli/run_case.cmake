# Runs one command-line case: CLI with the case's arguments in a fresh folder, then compares the
# exit status, stdout, stderr and every byte of the files written with what the case expects.
# Inputs: CLI (the binary), PRINT_CODE_PAGE (prints the system code page), EMULATOR (runs a
# program of a cross build, or empty), CASE (the case file written by cli_case), DATA
# (tests/data/cli), WORK (a scratch folder, removed when the case passes).
cmake_minimum_required(VERSION 3.25)
include(${CASE})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/out)

execute_process(COMMAND ${EMULATOR} ${PRINT_CODE_PAGE}
    OUTPUT_VARIABLE codePage OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "system code page: ${codePage}")
if(DEFINED case_stderr_${codePage})
    set(case_stderr "${case_stderr_${codePage}}")
endif()
if(caseUtf8Only AND NOT codePage STREQUAL "UTF-8")
    message("skipped: the case needs the UTF-8 code page, not ${codePage}")
    return()
endif()

function(substitute text outVar)
    string(REPLACE "@DATA@" "${DATA}" text "${text}")
    string(REPLACE "@OUT@" "${WORK}/out" text "${text}")
    set(${outVar} "${text}" PARENT_SCOPE)
endfunction()

# The text as the tool writes it: in the system code page, without the characters it lacks.
function(in_code_page text outVar)
    if(codePage STREQUAL "UTF-8")
        set(${outVar} "${text}" PARENT_SCOPE)
        return()
    endif()
    file(WRITE ${WORK}/utf8-text "${text}")
    execute_process(COMMAND iconv -c -f UTF-8 -t ${codePage}
        INPUT_FILE ${WORK}/utf8-text OUTPUT_VARIABLE converted)
    set(${outVar} "${converted}" PARENT_SCOPE)
endfunction()

function(shown text outVar)
    string(REPLACE "\r" "<CR>" text "${text}")
    set(${outVar} "${text}" PARENT_SCOPE)
endfunction()

set(failures "")
macro(fail what)
    string(APPEND failures "\n${what}")
endmacro()

set(arguments "")
foreach(argument IN LISTS caseArgs)
    substitute("${argument}" argument)
    list(APPEND arguments "${argument}")
endforeach()
set(stdinOption "")
if(caseStdin)
    set(stdinOption INPUT_FILE ${DATA}/${caseStdin})
endif()
execute_process(COMMAND ${EMULATOR} ${CLI} ${arguments}
    WORKING_DIRECTORY ${WORK}
    ${stdinOption}
    RESULT_VARIABLE status
    OUTPUT_FILE ${WORK}/stdout
    ERROR_FILE ${WORK}/stderr)

if(NOT status STREQUAL caseExit)
    fail("exit status: expected ${caseExit}, got ${status}")
endif()

foreach(stream stdout stderr)
    file(READ ${WORK}/${stream} actual)
    if(DEFINED case_${stream}_has)
        foreach(part IN LISTS case_${stream}_has)
            in_code_page("${part}" part)
            string(FIND "${actual}" "${part}" where)
            if(where EQUAL -1)
                fail("${stream} lacks '${part}'")
            endif()
        endforeach()
        continue()
    endif()
    substitute("${case_${stream}}" expected)
    in_code_page("${expected}" expected)
    if(NOT actual STREQUAL expected)
        shown("${expected}" expected)
        shown("${actual}" actual)
        fail("${stream}: expected\n[${expected}]\ngot\n[${actual}]")
    endif()
endforeach()

set(expectedFiles "")
if(caseExpect)
    file(GLOB expectedFiles RELATIVE ${DATA}/expected/${caseExpect} ${DATA}/expected/${caseExpect}/*)
endif()
file(GLOB writtenFiles RELATIVE ${WORK}/out ${WORK}/out/*)
list(SORT expectedFiles)
list(SORT writtenFiles)
if(NOT expectedFiles STREQUAL writtenFiles)
    fail("files written: expected [${expectedFiles}], got [${writtenFiles}]")
endif()
foreach(name IN LISTS expectedFiles)
    if(NOT EXISTS ${WORK}/out/${name})
        continue()
    endif()
    file(READ ${DATA}/expected/${caseExpect}/${name} expected HEX)
    file(READ ${WORK}/out/${name} actual HEX)
    if(NOT actual STREQUAL expected)
        file(READ ${DATA}/expected/${caseExpect}/${name} expectedText)
        file(READ ${WORK}/out/${name} actualText)
        shown("${expectedText}" expectedText)
        shown("${actualText}" actualText)
        fail("${name}: expected\n${expectedText}got\n${actualText}")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "case ${CASE} failed (output kept in ${WORK}):${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
