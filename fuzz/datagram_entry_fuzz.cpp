// Fuzzes the listener's two printed lines of a received datagram: any bytes, any record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "listener/inspect.h"
#include "listener/listener.h"
#include "platform/datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input layout: output room (1 byte), reported length (4), sender (4), then the datagram.
  const std::size_t room = 1 + fuzz::Take(data, size, 1);
  platform::ReceivedDatagram info{};
  info.length = static_cast<int>(fuzz::Take(data, size, 4));
  const std::uint32_t sender = static_cast<std::uint32_t>(fuzz::Take(data, size, 4));
  info.sender.family = 4;
  std::memcpy(info.sender.bytes, &sender, 4);
  info.stored = static_cast<int>(size < listener::kReceiveBufferSize ? size : listener::kReceiveBufferSize);
  info.truncated = info.length > info.stored;
  // A copy of exactly the stored bytes, so a read beyond them is caught.
  std::vector<unsigned char> datagram(data, data + info.stored);

  listener::Observation o{};
  listener::ObserveDatagram(info, datagram.data(), &o);
  listener::ClassifyObservation(&o);
  std::vector<char> buffer(room);
  listener::TextLine line{buffer.data(), buffer.size(), 0};
  listener::AppendEntryLines(&line, "01.01.2026 00:00:00", o, false);
  fuzz::Check(line.length < room);
  fuzz::Check(std::strlen(buffer.data()) == line.length);

  // With ample room the entry is whole: both lines, the second ending in a line feed.
  if (room >= 200) {
    fuzz::Check(line.length > 0 && buffer[line.length - 1] == '\n');
    fuzz::Check(std::strstr(buffer.data(), " \n   ") != nullptr);
  }
  return 0;
}
