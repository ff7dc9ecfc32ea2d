// Lets the compiler check the format strings given to the program's
// printf-style helpers. MinGW names the printf flavour its C runtime follows.
#pragma once

#include <cstdio>

#if defined(__GNUC__) && defined(__MINGW_PRINTF_FORMAT)
#define IZ_PRINTF_FORMAT(format_index, first_argument) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, format_index, first_argument)))
#elif defined(__GNUC__)
#define IZ_PRINTF_FORMAT(format_index, first_argument) \
    __attribute__((format(printf, format_index, first_argument)))
#else
#define IZ_PRINTF_FORMAT(format_index, first_argument)
#endif
