// One wake composed and sent: a datagram to one destination over a channel, or a raw frame through one interface.
#include "common/wake_send.h"

#include <cstring>

#include "platform/ether.h"

namespace wake {

namespace {

void PutLittleEndian32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

bool SameKey(const ChannelKey& a, const ChannelKey& b) {
  return a.family == b.family && a.broadcast == b.broadcast && a.interface_index == b.interface_index &&
         a.source == b.source;
}

// Sets a new socket up for its key: the broadcast permission, the pinned way out, the source.
void SetUp(SendChannel* channel, int* broadcast_error) {
  const ChannelKey& key = channel->key;
  channel->socket = socket(key.family, SOCK_DGRAM, IPPROTO_UDP);
  channel->setup_error = 0;
  if (key.broadcast) {
    const int on = 1;
    if (setsockopt(channel->socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
      *broadcast_error = platform::last_socket_error();
    }
  }
  if (key.interface_index != 0 && !platform::pin_socket_to_interface(channel->socket, key.family, key.interface_index)) {
    channel->setup_error = platform::last_socket_error();
    return;
  }
  if (key.source != 0 && key.family == AF_INET) {
    sockaddr_in source;
    std::memset(&source, 0, sizeof source);
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = key.source;
    if (bind(channel->socket, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0) {
      channel->setup_error = platform::last_socket_error();
    }
  }
}

}  // namespace

std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6], const WakeExtras& extras,
                              std::uint8_t* buffer) {
  std::size_t body_length;
  char tag_kind;
  switch (kind) {
    case kSendBroadcastMagic:
      body_length = kMagicBodyLength;
      tag_kind = kHeaderTag[kHeaderTagKindOffset];
      break;
    case kSendShortUnsuspend:
      body_length = kShortBodyLength;
      tag_kind = kTagKindShortUnsuspend;
      break;
    case kSendDirectMagic:
      body_length = kDirectBodyLength;
      tag_kind = kTagKindDirectMagic;
      break;
    default:
      return 0;
  }
  if (header_length != 0 && header_length != static_cast<int>(kHeaderLength)) return 0;
  const std::size_t password_length = extras.password != nullptr ? extras.password_length : 0;
  if (password_length != 0 &&
      ((password_length != kShortPasswordLength && password_length != kLongPasswordLength) ||
       kind == kSendShortUnsuspend)) {
    return 0;
  }
  const std::size_t h = static_cast<std::size_t>(header_length);
  const std::size_t length = h + body_length + password_length;

  if (h != 0) {
    std::memcpy(buffer + kHeaderTagOffset, kHeaderTag, kHeaderTagLength);
    buffer[kHeaderTagOffset + kHeaderTagKindOffset] = static_cast<std::uint8_t>(tag_kind);
    PutLittleEndian32(buffer + kHeaderLengthOffset, static_cast<std::uint32_t>(length));
    PutLittleEndian32(buffer + kHeaderSequenceOffset, extras.sequence);
  }
  std::uint8_t* body = buffer + h;
  std::memset(body, kSyncByte, kSyncLength);
  const int copies = kind == kSendShortUnsuspend ? 1 : kMacRepeats;
  for (int i = 0; i < copies; ++i) {
    std::memcpy(body + kMacOffset + static_cast<std::size_t>(i) * kMacLength, mac, kMacLength);
  }
  if (password_length != 0) std::memcpy(body + kPasswordOffset, extras.password, password_length);
  // The direct magic packet's two trailing bytes carry nothing; they are sent as zeros so that
  // no stale memory leaves the host.
  if (kind == kSendDirectMagic) std::memset(body + kMagicBodyLength + password_length, 0, kDirectTrailerLength);
  return length;
}

std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6], std::uint8_t* buffer) {
  return ComposeWakePacket(kind, header_length, mac, WakeExtras{0, nullptr, 0}, buffer);
}

std::uint32_t BroadcastAddress(std::uint32_t address, std::uint32_t mask) { return (address & mask) | ~mask; }

SendChannel* OpenChannel(SendChannels* channels, const ChannelKey& key, int* broadcast_error) {
  *broadcast_error = 0;
  for (int i = 0; i < channels->count; ++i) {
    if (SameKey(channels->channels[i].key, key)) return &channels->channels[i];
  }
  SendChannel* channel;
  if (channels->count < kChannelRoom) {
    channel = &channels->channels[channels->count++];
  } else {
    channel = &channels->channels[kChannelRoom - 1];
    if (channel->socket != INVALID_SOCKET) closesocket(channel->socket);
  }
  channel->key = key;
  SetUp(channel, broadcast_error);
  return channel;
}

void CloseChannels(SendChannels* channels) {
  for (int i = 0; i < channels->count; ++i) {
    if (channels->channels[i].socket != INVALID_SOCKET) closesocket(channels->channels[i].socket);
  }
  channels->count = 0;
}

int DestinationAddress(const WakeDatagram& datagram, sockaddr_storage* address) {
  std::memset(address, 0, sizeof *address);
  if (datagram.destination.family == 6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(address);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(datagram.port);
    std::memcpy(&in6->sin6_addr, datagram.destination.bytes, 16);
    in6->sin6_scope_id = datagram.scope;
    return static_cast<int>(sizeof *in6);
  }
  auto* in = reinterpret_cast<sockaddr_in*>(address);
  in->sin_family = AF_INET;
  in->sin_port = htons(datagram.port);
  std::memcpy(&in->sin_addr, datagram.destination.bytes, 4);
  return static_cast<int>(sizeof *in);
}

SendResult SendWakeDatagram(SendChannels* channels, const WakeDatagram& datagram) {
  SendResult result{};
  std::uint8_t buffer[kMaxDatagramLength];
  result.length = ComposeWakePacket(datagram.kind, datagram.header_length, datagram.mac, datagram.extras, buffer);
  sockaddr_storage to;
  const int to_length = DestinationAddress(datagram, &to);
  const ChannelKey key{to.ss_family, datagram.broadcast, datagram.interface_index, datagram.source};
  SendChannel* channel = OpenChannel(channels, key, &result.broadcast_error);
  result.channel = channel;
  if (result.length == 0) {
    result.send_error = 10022;  // WSAEINVAL: nothing composed that could be sent
    return result;
  }
  if (channel->setup_error != 0) {
    result.send_error = channel->setup_error;
    return result;
  }
  auto sent = sendto(channel->socket, reinterpret_cast<const char*>(buffer), static_cast<int>(result.length), 0,
                           reinterpret_cast<const sockaddr*>(&to), to_length);
  result.sent = sent == static_cast<decltype(sent)>(result.length);
  if (!result.sent) result.send_error = platform::last_socket_error();
  return result;
}

bool ChannelSource(const SendChannel& channel, const sockaddr_storage& destination, int destination_length,
                   sockaddr_storage* source) {
  SendChannel twin{channel.key, INVALID_SOCKET, 0};
  int broadcast_error = 0;
  SetUp(&twin, &broadcast_error);
  std::memset(source, 0, sizeof *source);
  socklen_t source_length = sizeof *source;
  const bool known = twin.setup_error == 0 &&
                     connect(twin.socket, reinterpret_cast<const sockaddr*>(&destination), destination_length) == 0 &&
                     getsockname(twin.socket, reinterpret_cast<sockaddr*>(source), &source_length) == 0;
  if (twin.socket != INVALID_SOCKET) closesocket(twin.socket);
  return known;
}

bool SendWakeFrame(SOCKET ether_socket, unsigned interface_index, const std::uint8_t mac[6],
                   const WakeExtras& extras, std::size_t* length) {
  std::uint8_t payload[kMaxDatagramLength];
  *length = ComposeWakePacket(kSendBroadcastMagic, 0, mac, WakeExtras{0, extras.password, extras.password_length},
                              payload);
  return platform::send_ether_frame(ether_socket, interface_index, kEthernetBroadcast, kWakeEtherType, payload,
                                    *length);
}

}  // namespace wake
