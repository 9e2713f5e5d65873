# Cross-build for 64-bit Windows with Debian's mingw-w64 (POSIX threads flavour); tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TIDEWAKE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIDEWAKE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDEWAKE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDEWAKE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TIDEWAKE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables (and GoogleTest's discovery) run through Wine; the caller sets WINEPREFIX.
find_program(TIDEWAKE_WINE NAMES wine wine64)
if(TIDEWAKE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TIDEWAKE_WINE})
endif()

# One printf family everywhere: mingw's C99-conforming one, so that vsnprintf reports the
# length it needed and "%S" takes a wide text, as the log's stamp expects. The project's own
# printf-like functions say so (gnu_printf, common/printf_format.h), so formats are checked here
# as in the native build.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
