// The key file's text: the line a new key is written as reads back, and every other text is refused at its line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/relay_key.h"

namespace {

const std::string kId = "0123456789abcdef";
const std::string kKey(64, 'a');
const std::string kLine = "tidewake-relay-key-v1 " + kId + " " + kKey;

wake::KeyText Read(const std::string& text, wake::RelayKeyRing* ring, int* line) {
  return wake::ReadRelayKeyText(text.data(), text.size(), ring, line);
}

TEST(RelayKeyText, AWrittenLineReadsBackAsTheSameKey) {
  wake::RelayKey key;
  for (int i = 0; i < 8; ++i) key.id[i] = static_cast<std::uint8_t>(0xF0 + i);
  for (int i = 0; i < 32; ++i) key.key[i] = static_cast<std::uint8_t>(i * 7);
  char line[wake::kRelayKeyLineLength + 1];
  wake::FormatRelayKeyLine(key, line);
  EXPECT_EQ(wake::kRelayKeyLineLength, std::strlen(line));
  EXPECT_EQ(0, std::strncmp(line, "tidewake-relay-key-v1 f0f1f2f3f4f5f6f7 00070e15", 47));
  wake::RelayKeyRing ring;
  int at = -1;
  ASSERT_EQ(wake::KeyText::kRead, Read(line, &ring, &at));
  ASSERT_EQ(1, ring.count);
  EXPECT_EQ(0, std::memcmp(&key, &ring.keys[0], sizeof key));
  EXPECT_EQ(&ring.keys[0], wake::FindRelayKey(ring, key.id));
  key.id[7] ^= 1;
  EXPECT_EQ(nullptr, wake::FindRelayKey(ring, key.id));
}

TEST(RelayKeyText, ReadsEachFileAndRefusesAtTheLineAtFault) {
  std::string other_id = kLine;
  other_id[22] = '1';
  std::string seventeen;
  for (int i = 0; i < 17; ++i) {
    char id[17];
    std::snprintf(id, sizeof id, "%016x", i);
    seventeen += "tidewake-relay-key-v1 " + std::string(id) + " " + kKey + "\n";
  }
  struct Case {
    const char* what;
    std::string text;
    wake::KeyText result;
    int line;      // the line at fault, or the number of keys read
  };
  const Case cases[] = {
      {"one line without a line end", kLine, wake::KeyText::kRead, 1},
      {"comments, blanks, CR LF", "# relay\r\n\r\n  \t\n\t" + kLine + "  \r\n# end", wake::KeyText::kRead, 1},
      {"upper case digits", "tidewake-relay-key-v1 0123456789ABCDEF " + std::string(64, 'F'), wake::KeyText::kRead, 1},
      {"two keys", kLine + "\n" + other_id + "\n", wake::KeyText::kRead, 2},
      {"empty", "", wake::KeyText::kNoKey, 0},
      {"comments only", "# nothing\n\n", wake::KeyText::kNoKey, 0},
      {"another word", "# a\ntidewake-relay-key-v2 " + kId + " " + kKey, wake::KeyText::kBadLine, 2},
      {"identifier one digit short", "tidewake-relay-key-v1 " + kId.substr(1) + " " + kKey, wake::KeyText::kBadLine, 1},
      {"key one digit long", kLine + "a", wake::KeyText::kBadLine, 1},
      {"a digit that is not hexadecimal", "tidewake-relay-key-v1 " + kId + " g" + kKey.substr(1), wake::KeyText::kBadLine, 1},
      {"no key", "tidewake-relay-key-v1 " + kId, wake::KeyText::kBadLine, 1},
      {"a field more", kLine + " x", wake::KeyText::kBadLine, 1},
      {"a comment after the key", kLine + " # mine", wake::KeyText::kBadLine, 1},
      {"a NUL in the line", kLine.substr(0, 30) + std::string(1, '\0') + kLine.substr(31), wake::KeyText::kBadLine, 1},
      {"the same identifier twice", kLine + "\n\n" + kLine, wake::KeyText::kDuplicateId, 3},
      {"seventeen keys", seventeen, wake::KeyText::kTooManyKeys, 17},
  };
  for (const Case& c : cases) {
    wake::RelayKeyRing ring;
    int line = -1;
    const wake::KeyText result = Read(c.text, &ring, &line);
    EXPECT_EQ(c.result, result) << c.what;
    EXPECT_EQ(c.line, result == wake::KeyText::kRead ? ring.count : line) << c.what;
  }
}

}  // namespace
