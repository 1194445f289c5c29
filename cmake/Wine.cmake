# Runs the Windows test programs under wine, in a wine prefix of this build folder (never the
# user's ~/.wine). The prefix is made here, once, so that the first test programs do not race to
# create it.
set(winePrefix ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${winePrefix})
if(NOT EXISTS ${winePrefix}/system.reg)
    message(STATUS "Creating the wine prefix ${winePrefix}")
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot -i
        RESULT_VARIABLE wineStatus OUTPUT_QUIET ERROR_QUIET)
    if(NOT wineStatus EQUAL 0)
        message(FATAL_ERROR "wineboot -i failed (${wineStatus}): is wine installed?")
    endif()
endif()
