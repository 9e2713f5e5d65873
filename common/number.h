// Numbers read from text with the C library's strtol/atoi rules, at 32 bits and defined on overflow.
#pragma once

#include <cstdint>

namespace wake {

// The value of one digit in bases up to 16; 99 for anything else.
inline int DigitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 99;
}

// The value the C library's strtol reads from `p` where long is 32 bits wide (as on Windows):
// leading white space, an optional sign, a 0x prefix in base 16, digits; no digits gives 0.
// A value beyond the 32-bit range saturates at INT32_MAX or INT32_MIN instead of being
// undefined or depending on the width of the host's long (a 64-bit long would read
// "001122334455" without saturating and keep a different low byte). nullptr reads as 0.
template <typename Char>
std::int32_t ReadLong32(const Char* p, int base) {
  if (p == nullptr) return 0;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) p += 2;
  const std::uint64_t kLimit = 0x80000000ULL;
  std::uint64_t magnitude = 0;
  for (; DigitValue(*p) < base; ++p) {
    magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(*p));
    if (magnitude > kLimit) magnitude = kLimit + 1;  // stays saturated, never wraps
  }
  if (negative) return magnitude >= kLimit ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
  return magnitude >= kLimit ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

// A decimal number of digits alone (no sign, no blanks, at most 9 digits) from `low` to `high`,
// as the programs' newer options take their values: false for anything else.
inline bool ReadNumber(const char* text, int low, int high, int* value) {
  constexpr int kMaxDigits = 9;  // 9 digits always fit an int
  if (text == nullptr) return false;
  int digits = 0;
  int result = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (++digits > kMaxDigits) return false;
    result = result * 10 + (*text - '0');
  }
  if (digits == 0 || *text != '\0' || result < low || result > high) return false;
  *value = result;
  return true;
}

// A MAC address read strictly: six groups of one or two hexadecimal digits joined by ':' or
// '-', and nothing else. False for any other text (the lenient reading of MAC= is elsewhere).
inline bool ReadMacText(const char* text, std::uint8_t out[6]) {
  if (text == nullptr) return false;
  for (int group = 0; group < 6; ++group) {
    if (group > 0) {
      if (*text != ':' && *text != '-') return false;
      ++text;
    }
    int digits = 0;
    unsigned value = 0;
    for (; DigitValue(*text) < 16; ++text) {
      if (++digits > 2) return false;
      value = value * 16 + static_cast<unsigned>(DigitValue(*text));
    }
    if (digits == 0) return false;
    out[group] = static_cast<std::uint8_t>(value);
  }
  return *text == '\0';
}

// Decimal text to int with the C library's atoi rules (leading white space, sign, digits;
// no digits gives 0), saturating at the int range.
inline int ParseDecimal(const char* text) { return ReadLong32(text, 10); }

}  // namespace wake
