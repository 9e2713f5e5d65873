// The version text of the version line, read from the program's own version information.
#include "listener/listener.h"
#include "platform/version.h"

namespace listener {

void RewriteVersionText(const char* value, char* text) {
  std::size_t n = 0;
  for (const char* p = value; *p != '\0' && n < kVersionTextSize - 1; ++p) {
    if (*p == ' ') continue;
    text[n++] = *p == ',' ? '.' : *p;
  }
  text[n] = '\0';
}

void ReadVersionText(const char* path, char* text) {
  platform::VersionRecord record{};
  if (platform::read_version_record(path, &record) && record.has_file_version_text) {
    RewriteVersionText(record.file_version_text, text);
  }
}

}  // namespace listener
