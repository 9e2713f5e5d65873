// The format attribute of the project's printf-like functions, checked against the printf family
// the programs really use.
#pragma once

// GCC checks `printf` formats against the platform's default family, which for mingw-w64 is
// msvcrt's (ms_printf); the programs use mingw's C99 printf (__USE_MINGW_ANSI_STDIO), whose
// archetype is gnu_printf, on Linux too. Clang knows only `printf`.
#if defined(__clang__)
#define TIDEWAKE_PRINTF(format_index, first_argument) \
  __attribute__((format(printf, format_index, first_argument)))
#else
#define TIDEWAKE_PRINTF(format_index, first_argument) \
  __attribute__((format(gnu_printf, format_index, first_argument)))
#endif
