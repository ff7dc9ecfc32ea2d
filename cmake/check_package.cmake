# Makes the media zip of a build and checks that it holds exactly the media
# layout: the program, the example settings file and the short reference,
# below ZOVTools.
set(work ${BUILD_DIR}/package-check)
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake
                        -B ${work}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()
file(GLOB zips ${work}/*.zip)
list(LENGTH zips count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one zip in ${work}, found: ${zips}")
endif()
file(ARCHIVE_EXTRACT INPUT ${zips} DESTINATION ${work}/unpacked)
file(GLOB_RECURSE entries RELATIVE ${work}/unpacked ${work}/unpacked/*)
list(SORT entries)
set(expected "ZOVTools/${PROGRAM};ZOVTools/REFERENCE.txt;ZOVTools/install.ini")
list(SORT expected)
if(NOT entries STREQUAL expected)
    message(FATAL_ERROR "the media zip holds [${entries}], expected [${expected}]")
endif()
message(STATUS "${zips}: ${entries}")
