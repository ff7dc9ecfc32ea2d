# Fails when the source tree leaves its layout where the build cannot tell:
# - only src/platform may include an OS header or test _WIN32;
# - no include climbs out of a folder with "..", which would pass by the
#   include roots that keep each layer to the layers below it;
# - src/platform includes only itself, src/emulation and src/core;
# - src/emulation, plain C++ shared by the POSIX layer and the tests, includes
#   only itself and src/core.
# That a layer includes no layer above it is the build's to say: each layer
# compiles against an include root holding only its own layer and those below.
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(offenders "")
foreach(source IN LISTS sources)
    file(RELATIVE_PATH relative ${SOURCE_DIR}/src ${source})
    string(REGEX REPLACE "/.*" "" folder "${relative}")
    if(NOT folder STREQUAL "platform")
        file(STRINGS ${source} lines REGEX
             "_WIN32|#include <(windows|winbase|unistd|signal|spawn|fcntl|pthread|dirent)\\.h>|#include <sys/")
        if(lines)
            list(APPEND offenders "${relative}: OS-specific code outside src/platform: ${lines}")
        endif()
    endif()
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" included "${line}")
        string(REGEX REPLACE "/.*" "" target "${included}")
        set(allowed TRUE)
        if(included MATCHES "\\.\\.")
            set(allowed FALSE)
        elseif(NOT included MATCHES "/")
            # a file generated into the build, such as the Japanese catalogue
        elseif(folder STREQUAL "platform")
            if(NOT target MATCHES "^(platform|emulation|core)$")
                set(allowed FALSE)
            endif()
        elseif(folder STREQUAL "emulation")
            if(NOT target MATCHES "^(emulation|core)$")
                set(allowed FALSE)
            endif()
        endif()
        if(NOT allowed)
            list(APPEND offenders "${relative}: includes \"${included}\" against the layers")
        endif()
    endforeach()
endforeach()
list(LENGTH sources count)
if(count LESS 10)
    message(FATAL_ERROR "Only ${count} sources found under ${SOURCE_DIR}/src")
endif()
if(offenders)
    string(REPLACE ";" "\n" offenders "${offenders}")
    message(FATAL_ERROR "The layout is broken:\n${offenders}")
endif()
message(STATUS "${count} sources checked")
