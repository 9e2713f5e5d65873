// Fuzzes the listener's two printed lines of a received datagram: any bytes, any record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "listener/listener.h"
#include "platform/datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input layout: output room (1 byte), reported length (4), sender (4), then the datagram.
  const std::size_t room = 1 + fuzz::Take(data, size, 1);
  platform::DatagramInfo info{};
  info.length = static_cast<int>(fuzz::Take(data, size, 4));
  info.sender_address = fuzz::Take(data, size, 4);
  info.stored = static_cast<int>(size < listener::kReceiveBufferSize ? size
                                                                     : listener::kReceiveBufferSize);
  info.truncated = info.length > info.stored;
  // A copy of exactly the stored bytes, so a read beyond them is caught.
  std::vector<unsigned char> datagram(data, data + info.stored);

  std::vector<char> buffer(room);
  const int n = listener::FormatDatagramEntry(buffer.data(), buffer.size(), "01.01.2026 00:00:00",
                                              datagram.data(), info);
  fuzz::Check(n >= 0 && static_cast<std::size_t>(n) < room);
  fuzz::Check(std::strlen(buffer.data()) == static_cast<std::size_t>(n));

  // With ample room the entry is whole: both lines, the second ending in a line feed.
  if (room >= 200) {
    fuzz::Check(n > 0 && buffer[static_cast<std::size_t>(n) - 1] == '\n');
    fuzz::Check(std::strstr(buffer.data(), " \n   ") != nullptr);
  }
  return 0;
}
