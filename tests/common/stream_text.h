// The text a test's temporary stream received, read back from its start (the stream is closed).
#pragma once

#include <cstdio>
#include <string>

inline std::string StreamText(FILE* f) {
  std::string text;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  std::fclose(f);
  return text;
}
