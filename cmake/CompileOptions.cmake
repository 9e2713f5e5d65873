# Compile options shared by every target of the tree.
add_library(tidewake_options INTERFACE)
target_compile_options(tidewake_options INTERFACE -Wall -Wextra -Wpedantic)
target_include_directories(tidewake_options INTERFACE ${PROJECT_SOURCE_DIR})
if(TIDEWAKE_WERROR)
  target_compile_options(tidewake_options INTERFACE -Werror)
endif()
if(TIDEWAKE_SANITIZE)
  target_compile_options(tidewake_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tidewake_options INTERFACE -fsanitize=address,undefined)
endif()
if(NOT WIN32 AND NOT TIDEWAKE_SANITIZE)
  # Hardened as Debian builds its packages: the C library's checked variants of the string,
  # memory and I/O calls where the size is known at compile time (they need optimisation, so
  # only the optimised builds get them; -U first, for a compiler that sets its own level), and
  # every symbol bound at start-up, so that the relocation table can be made read-only
  # (RELRO) before any input is read. The sanitizer builds keep their own checks.
  target_compile_options(tidewake_options INTERFACE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
  target_link_options(tidewake_options INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
if(WIN32)
  # One self-contained .exe per program: no MinGW runtime DLLs beside it.
  target_link_options(tidewake_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(tidewake_options INTERFACE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
endif()

# What the two programs link besides: their C++ runtime (libstdc++, libgcc) inside them. They
# use a handful of its symbols (operator new and delete, guards of function-local statics),
# and loading the shared libstdc++ with the libm and libgcc_s it brings cost each short run
# (a silent send, --version) more than its own work: 2.8 MiB of memory against 1.3 MiB.
# The sanitizer builds keep the shared runtime that their run-time libraries expect.
add_library(tidewake_program INTERFACE)
if(NOT WIN32 AND NOT TIDEWAKE_SANITIZE)
  target_link_options(tidewake_program INTERFACE -static-libstdc++ -static-libgcc)
endif()
