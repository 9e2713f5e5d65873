// Windows process and thread services: GetLastError, FormatMessageA, GetModuleFileNameA.
#include "platform/system.h"

#include <windows.h>

namespace platform {

const unsigned long kErrorAlreadyExists = ERROR_ALREADY_EXISTS;

unsigned long last_error() { return GetLastError(); }

void set_last_error(unsigned long code) { SetLastError(code); }

namespace {

// The inserts %1 to %7 are handed their own markers as values, so a system text that holds
// an insert marker comes out as written instead of reading arguments that are not there.
const char* const kInsertTexts[] = {"%1", "%2", "%3", "%4", "%5", "%6", "%7"};

// FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY.
constexpr DWORD kFormatFlags = 0x3100;
// The user's default language.
constexpr DWORD kDefaultLanguage = 0x400;

}  // namespace

char* system_message_alloc(unsigned long code) {
  DWORD_PTR inserts[7];
  for (int i = 0; i < 7; ++i) inserts[i] = reinterpret_cast<DWORD_PTR>(kInsertTexts[i]);
  char* text = nullptr;
  // With FORMAT_MESSAGE_ARGUMENT_ARRAY the va_list argument is really the array of values.
  DWORD length = FormatMessageA(kFormatFlags, nullptr, code, kDefaultLanguage,
                                reinterpret_cast<char*>(&text), 0,
                                reinterpret_cast<va_list*>(inserts));
  if (length == 0 || text == nullptr) {
    if (text != nullptr) LocalFree(text);
    return nullptr;
  }
  // System texts end with a line end; the caller gets the text without it.
  if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n') text[length - 2] = '\0';
  return text;
}

void free_system_message(char* text) {
  if (text != nullptr) LocalFree(text);
}

unsigned long module_path(char* buffer, unsigned long size) {
  if (buffer == nullptr || size == 0) return 0;
  DWORD n = GetModuleFileNameA(nullptr, buffer, size);
  if (n == 0) {
    buffer[0] = '\0';
    return 0;
  }
  // A path that does not fit is cut and, on older systems, left without its terminator.
  if (n >= size) n = size - 1;
  buffer[n] = '\0';
  return n;
}

// A GUI program may have no standard handles at all; nothing it opens can take their place.
void open_standard_streams() {}

}  // namespace platform
