// Fuzzes the hosts-file parser of kestrava /File= and pilvorne -Hosts=: any text; every host and every bad line must be accounted for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "common/host_file.h"

namespace {

constexpr int kRoom = 16;

struct Seen {
  int lines = 0;      // the line numbers reported stay within the text and ascend
  int last_line = 0;
  const std::vector<char>* buffer = nullptr;
};

bool Inside(const char* p, const std::vector<char>& buffer) {
  return p >= buffer.data() && p < buffer.data() + buffer.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  std::vector<char> buffer(text.c_str(), text.c_str() + std::strlen(text.c_str()) + 1);
  const int newlines = static_cast<int>(std::count(buffer.begin(), buffer.end(), '\n'));
  wake::WakeTarget hosts[kRoom + 1];
  std::memset(&hosts[kRoom], 0x5A, sizeof hosts[kRoom]);
  Seen seen;
  seen.buffer = &buffer;
  const int count = wake::ParseHostText(
      buffer.data(), hosts, kRoom,
      [](void* context, int line, const char* reason, const char* field) {
        Seen* s = static_cast<Seen*>(context);
        fuzz::Check(line > s->last_line && reason != nullptr && field != nullptr);
        fuzz::Check(Inside(field, *s->buffer));
        s->last_line = line;
        ++s->lines;
      },
      &seen);
  fuzz::Check(count >= 0 && count <= kRoom);
  unsigned char guard[sizeof hosts[kRoom]];
  std::memset(guard, 0x5A, sizeof guard);
  fuzz::Check(std::memcmp(&hosts[kRoom], guard, sizeof guard) == 0);  // nothing past the room
  int previous = 0;
  for (int i = 0; i < count; ++i) {
    fuzz::Check(hosts[i].line > previous && hosts[i].line <= newlines + 1);
    previous = hosts[i].line;
    fuzz::Check(hosts[i].name == nullptr || Inside(hosts[i].name, buffer));
    fuzz::Check(hosts[i].address.scope == nullptr || Inside(hosts[i].address.scope, buffer));
    wake::RelayEndpointText relay;
    fuzz::Check(hosts[i].relay == nullptr || (Inside(hosts[i].relay, buffer) && wake::ReadRelayText(hosts[i].relay, &relay)));
  }
  fuzz::Check(seen.last_line <= newlines + 1);
  return 0;
}
