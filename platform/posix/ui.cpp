// POSIX message box without a dialog: one line "caption: text" on standard error; information on standard output; the terminal test.
#include "platform/ui.h"

#include <unistd.h>

#include <cstdio>

namespace platform {

int message_box(Window, const char* text, const char* caption, unsigned) {
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
  std::fflush(stderr);
  return 1;  // IDOK
}

void show_information(const char*, const char* text) {
  std::fputs(text != nullptr ? text : "", stdout);
  std::fflush(stdout);
}

bool standard_error_present() { return true; }

bool standard_error_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace platform
