// Fuzzes the log's record formatter: any format text (its conversions given arguments of their
// types), any record mode and buffer size; the record always fits, is terminated and well cut.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "sender/log/log.h"

namespace {

// The argument types a conversion of the fuzzed format may take.
enum class Type { kInt, kLong, kText, kWide };
constexpr std::size_t kMostConversions = 4;

// Makes the format safe to hand to the formatter with arguments of known types: each
// conversion is kept only when its type is one of Type's (flags, a width and a precision in
// digits allowed), at most kMostConversions of them; every other '%' is written as "%%". A
// leading "%T" (the date-time prefix) stays as it is.
std::string SafeFormat(const std::string& text, std::vector<Type>* types) {
  std::string out;
  std::size_t i = 0;
  if (text.compare(0, 2, "%T") == 0) {
    out = "%T";
    i = 2;
  }
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    std::size_t j = i + 1;
    while (j < text.size() && std::strchr("-+ #0", text[j]) != nullptr) ++j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - i < 6) ++j;
    if (j < text.size() && text[j] == '.') {
      ++j;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - i < 10) ++j;
    }
    bool is_long = j < text.size() && text[j] == 'l';
    if (is_long) ++j;
    const char conversion = j < text.size() ? text[j] : '\0';
    Type type = Type::kInt;
    bool known = true;
    if (conversion == '%' && !is_long && j == i + 1) {
      out += "%%";
      i = j + 1;
      continue;
    } else if (std::strchr("dixXuc", conversion) != nullptr && conversion != '\0') {
      type = is_long && conversion != 'c' ? Type::kLong : Type::kInt;
      known = !(is_long && conversion == 'c');
    } else if (conversion == 's') {
      type = is_long ? Type::kWide : Type::kText;
    } else {
      known = false;
    }
    if (!known || types->size() == kMostConversions) {
      out += "%%";
      ++i;
      continue;
    }
    types->push_back(type);
    out.append(text, i, j + 1 - i);
    i = j + 1;
  }
  return out;
}

// The arguments, drawn from the input's last bytes.
struct Arguments {
  const std::uint8_t* data;
  std::size_t size;
  std::vector<std::string> texts;
  std::vector<std::wstring> wides;
  int NextInt() { return static_cast<int>(fuzz::Take(data, size, 4)); }
  long NextLong() { return static_cast<long>(static_cast<std::int32_t>(fuzz::Take(data, size, 4))); }
  const char* NextText() {
    std::size_t n = fuzz::Take(data, size, 1) % 64;
    if (n > size) n = size;
    const void* nul = std::memchr(data, 0, n);  // a NUL ends the text, as C reads it
    const std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : n;
    texts.emplace_back(reinterpret_cast<const char*>(data), length);
    data += n;
    size -= n;
    return texts.back().c_str();
  }
  const wchar_t* NextWide() {
    std::size_t n = fuzz::Take(data, size, 1) % 32;
    std::wstring wide;
    for (std::size_t i = 0; i < n && size > 0; ++i) wide += static_cast<wchar_t>(0x20 + fuzz::Take(data, size, 1) % 0x5F);
    wides.push_back(wide);
    return wides.back().c_str();
  }
};

int FormatVa(char* buffer, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = log_format_record(buffer, size, format, args);
  va_end(args);
  return n;
}

// Calls the formatter with one argument per conversion, of the conversion's type.
template <typename... Args>
int Invoke(char* buffer, int size, const char* format, const std::vector<Type>& types,
           Arguments& arguments, Args... args) {
  if constexpr (sizeof...(Args) < kMostConversions) {
    if (sizeof...(Args) < types.size()) {
      switch (types[sizeof...(Args)]) {
        case Type::kInt: return Invoke(buffer, size, format, types, arguments, args..., arguments.NextInt());
        case Type::kLong: return Invoke(buffer, size, format, types, arguments, args..., arguments.NextLong());
        case Type::kText: return Invoke(buffer, size, format, types, arguments, args..., arguments.NextText());
        case Type::kWide: return Invoke(buffer, size, format, types, arguments, args..., arguments.NextWide());
      }
    }
  }
  return FormatVa(buffer, size, format, args...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t mode_byte = fuzz::Take(data, size, 1);
  const int buffer_size = 8 + static_cast<int>(fuzz::Take(data, size, 2) % 1017);  // 8..1024
  const std::size_t format_length = fuzz::Take(data, size, 1) % 200;
  const std::size_t taken = format_length < size ? format_length : size;
  const void* nul = std::memchr(data, 0, taken);
  std::string text(reinterpret_cast<const char*>(data),
                   nul != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : taken);
  data += taken;
  size -= taken;

  std::vector<Type> types;
  const std::string format = SafeFormat(text, &types);
  log_set_record_mode(mode_byte % 3 == 0 ? 1 : static_cast<std::int32_t>(mode_byte & 0x80), "FZ");
  std::vector<char> buffer(static_cast<std::size_t>(buffer_size) + 16, '#');
  Arguments arguments{data, size, {}, {}};
  arguments.texts.reserve(kMostConversions);
  arguments.wides.reserve(kMostConversions);
  const int n = Invoke(buffer.data(), buffer_size, format.c_str(), types, arguments);

  // The record fits its buffer with its terminator, begins with the separator, and a record
  // that was cut ends with the mark.
  fuzz::Check(n >= 2 && n < buffer_size);
  fuzz::Check(buffer[static_cast<std::size_t>(n)] == '\0');
  fuzz::Check(buffer[0] == '\r' && buffer[1] == '\n');
  fuzz::Check(buffer[static_cast<std::size_t>(buffer_size)] == '#');  // nothing past the buffer
  return 0;
}
