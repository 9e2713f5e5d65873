// The version text of the version line, read from the program's own version information.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "listener/listener.h"
#include "listener/texts.h"
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
  unsigned long handle = 0;
  unsigned long size = platform::file_version_info_size(path, &handle);
  if (size == 0) return;
  void* block = std::malloc(size);
  if (block == nullptr) return;
  if (!platform::file_version_info(path, handle, size, block)) {
    std::free(block);
    return;
  }
  const void* value = nullptr;
  unsigned length = 0;
  if (platform::version_query_value(block, kTranslationKey, &value, &length)) {
    const unsigned char* pairs = static_cast<const unsigned char*>(value);
    for (unsigned i = 0; i < length / 4; ++i) {
      // Each pair is two 16-bit values in the block's own byte order: language, code page.
      unsigned short language, code_page;
      std::memcpy(&language, pairs + 4 * i, 2);
      std::memcpy(&code_page, pairs + 4 * i + 2, 2);
      char key[64];
      std::snprintf(key, sizeof key, kFileVersionKeyFormat, language, code_page);
      const void* version = nullptr;
      unsigned version_length = 0;
      if (platform::version_query_value(block, key, &version, &version_length) &&
          version != nullptr) {
        RewriteVersionText(static_cast<const char*>(version), text);
      }
    }
  }
  std::free(block);
}

}  // namespace listener
