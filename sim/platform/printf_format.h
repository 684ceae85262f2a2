// The format attribute of printf-like functions. MinGW-w64 gives C++ the C99 printf of its own
// runtime (%zu and all), which GCC checks as gnu_printf; its plain "printf" means the older
// Microsoft one.
#ifndef KQ_SIM_PLATFORM_PRINTF_FORMAT_H
#define KQ_SIM_PLATFORM_PRINTF_FORMAT_H

#include <cstdio>

#ifdef __MINGW_PRINTF_FORMAT
#define KQ_PRINTF_LIKE(formatArg, firstArg) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, formatArg, firstArg)))
#else
#define KQ_PRINTF_LIKE(formatArg, firstArg) __attribute__((format(printf, formatArg, firstArg)))
#endif

#endif
