# Runs the Windows programs of a cross build under Wine, with the loader that
# this machine can start. Some kernels refuse every 32-bit program: there the
# 32-bit loader fails, and Debian's `wine` script, which prefers it whenever
# wine32 is installed, fails for 64-bit programs as well. The answer comes from
# running the 32-bit loader once, unless the caller gives it
# (-DINSTALLZOVA_WINE32_RUNS=ON|OFF, as ci/test.sh does after its own probe).
set(INSTALLZOVA_WINE32_LOADER /usr/lib/wine/wine CACHE FILEPATH "Wine's 32-bit loader")
set(INSTALLZOVA_WINE64_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "Wine's 64-bit loader")
if(NOT DEFINED INSTALLZOVA_WINE32_RUNS)
    execute_process(COMMAND ${INSTALLZOVA_WINE32_LOADER} --version
                    RESULT_VARIABLE wine32_status OUTPUT_QUIET ERROR_QUIET)
    if(wine32_status STREQUAL "0")
        set(wine32_runs ON)
    else()
        set(wine32_runs OFF)
    endif()
    set(INSTALLZOVA_WINE32_RUNS ${wine32_runs} CACHE BOOL
        "This machine runs 32-bit programs (Wine's 32-bit loader starts)")
endif()
# Sub-projects of try_compile read this file again; they need no probe.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES INSTALLZOVA_WINE32_RUNS)

# WINELOADER tells Wine which loader starts the programs a program starts;
# the tests that run Wine themselves get it in their environment. A 64-bit
# build's programs start from the 64-bit loader even where the 32-bit one
# runs: from the 32-bit one they take a detour through Wine's start.exe,
# which now and then fails to start them at all ("ShellExecuteEx failed").
if(INSTALLZOVA_WINE32_RUNS AND NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(INSTALLZOVA_WINE_ENVIRONMENT "")
    set(CMAKE_CROSSCOMPILING_EMULATOR wine)
else()
    set(INSTALLZOVA_WINE_ENVIRONMENT "WINELOADER=${INSTALLZOVA_WINE64_LOADER}")
    set(CMAKE_CROSSCOMPILING_EMULATOR env ${INSTALLZOVA_WINE_ENVIRONMENT}
                                      ${INSTALLZOVA_WINE64_LOADER})
endif()
