// ASCII case folding for option names and keys: plain ASCII, untouched by the locale.
#pragma once

#include <cstddef>

namespace wake {

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the first `length` characters of `a` and `b` are equal ignoring ASCII case; a
// terminator in either text ends the comparison there (both must end alike).
inline bool EqualNoCase(const char* a, const char* b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    if (a[i] == '\0') return true;
  }
  return true;
}

// Whether `text` starts with `prefix`, ignoring ASCII case.
inline bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (FoldAscii(*text) != FoldAscii(*prefix)) return false;
  }
  return true;
}

// Whether the two texts are equal, ignoring ASCII case.
inline bool EqualsNoCase(const char* a, const char* b) {
  for (; *a != '\0' || *b != '\0'; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  }
  return true;
}

}  // namespace wake
