// Process and thread services: last error, sleep, system message texts, module path.
#pragma once

namespace platform {

// The calling thread's last system error (GetLastError; errno on POSIX, the one store there
// too). On POSIX the layer's own functions leave errno values in it, or the Windows status
// codes some services name (platform/echo.h).
unsigned long last_error();
void set_last_error(unsigned long code);

// "Already exists" as create_directory reports it (183 on Windows, EEXIST on POSIX).
extern const unsigned long kErrorAlreadyExists;

// Pauses the calling thread (Sleep). A service of its own, so that tests can fake it.
void sleep_ms(unsigned long milliseconds);

// The system's message text for an error code, bare: without the final line end Windows'
// FormatMessage writes (a text of several lines keeps its inner line ends); nullptr when the
// system has no text. Free with free_system_message.
char* system_message_alloc(unsigned long code);
void free_system_message(char* text);

// Room for a whole file path with its terminator: MAX_PATH on Windows, PATH_MAX on POSIX.
#ifdef _WIN32
constexpr unsigned long kPathRoom = 260;
#else
constexpr unsigned long kPathRoom = 4096;
#endif

// The program's own file path (GetModuleFileNameA): writes at most size - 1 characters
// and a terminator; returns the number of characters written, 0 on failure.
unsigned long module_path(char* buffer, unsigned long size);

// Makes sure standard input, output and error are open: a program started with any of them
// closed gets /dev/null there (POSIX), so that the next file or socket it opens cannot take
// their place and receive what is meant for a standard stream. Nothing to do on Windows.
void open_standard_streams();

}  // namespace platform
