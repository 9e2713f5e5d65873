// POSIX message box without a dialog: one line "caption: text" on standard error.
#include "platform/ui.h"

#include <cstdio>

namespace platform {

int message_box(Window, const char* text, const char* caption, unsigned) {
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
  std::fflush(stderr);
  return 1;  // IDOK
}

}  // namespace platform
