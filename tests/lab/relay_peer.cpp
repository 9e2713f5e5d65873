// Lab helper: relay requests made, tampered with, replayed and flooded, to see what the relay does with them.
// Usage:
//   relay_peer sign KEYFILE MAC OFFSET_SECONDS   prints a signed request (hex) for MAC, its time
//                                                 the clock's plus OFFSET_SECONDS
//   relay_peer send HOST PORT HEX...              sends each datagram, then counts answers for 1 s
//   relay_peer fire HOST PORT HEX                 sends it and closes the socket at once, so
//                                                 that an answer finds the port closed
//   relay_peer flood HOST PORT N SECONDS HEX      N datagrams, at most SECONDS long: random bytes
//                                                 (any length; some shaped like a request) and
//                                                 HEX again, in turn; counts answers
// "send" and "flood" print "sent N answers M".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/relay_key_file.h"
#include "common/relay_sign.h"
#include "common/wake_address.h"
#include "platform/crypto.h"

namespace {

long long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ReadHex(const char* text, std::vector<unsigned char>* out) {
  const std::size_t n = std::strlen(text);
  if (n % 2 != 0) return false;
  for (std::size_t i = 0; i < n; i += 2) {
    unsigned value = 0;
    if (std::sscanf(text + i, "%2x", &value) != 1) return false;
    out->push_back(static_cast<unsigned char>(value));
  }
  return true;
}

int Connect(const char* host, const char* port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(std::atoi(port)));
  if (inet_pton(AF_INET, host, &to.sin_addr) != 1) return -1;
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0 || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return -1;
  return s;
}

// Answers arriving within `ms`; an ICMP error shows as a failed receive and is not one.
int CountAnswers(int s, int ms) {
  int answers = 0;
  const long long end = NowMs() + ms;
  for (long long left; (left = end - NowMs()) > 0;) {
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    unsigned char data[2048];
    if (recv(s, data, sizeof data, 0) > 0) ++answers;
  }
  return answers;
}

int Sign(const char* key_path, const char* mac_text, const char* offset) {
  wake::RelayKeyRing ring;
  if (!wake::OpenRelayCrypto("relay_peer", stderr) || !wake::LoadRelayKeys(key_path, "relay_peer", &ring, stderr)) {
    return 1;
  }
  wake::RelayRequest r;
  unsigned m[6];
  if (std::sscanf(mac_text, "%x:%x:%x:%x:%x:%x", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]) != 6) return 2;
  for (int i = 0; i < 6; ++i) r.mac[i] = static_cast<std::uint8_t>(m[i]);
  r.port_count = 1;
  r.ports[0] = 9;
  r.time = static_cast<std::uint64_t>(static_cast<long long>(::time(nullptr)) + std::atoll(offset));
  std::memcpy(r.key_id, ring.keys[0].id, sizeof r.key_id);
  if (!platform::random_bytes(r.nonce, sizeof r.nonce)) return 1;
  std::uint8_t out[wake::kRequestLength];
  if (!wake::SignRelayRequest(r, ring.keys[0], out)) return 1;
  for (std::uint8_t b : out) std::printf("%02x", b);
  std::printf("\n");
  return 0;
}

int Send(int argc, char** argv) {
  const int s = Connect(argv[2], argv[3]);
  if (s < 0) return 1;
  int sent = 0;
  for (int i = 4; i < argc; ++i) {
    std::vector<unsigned char> bytes;
    if (!ReadHex(argv[i], &bytes)) return 2;
    if (send(s, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size())) ++sent;
  }
  std::printf("sent %d answers %d\n", sent, CountAnswers(s, 1000));
  return 0;
}

int Fire(char** argv) {
  const int s = Connect(argv[2], argv[3]);
  std::vector<unsigned char> bytes;
  if (s < 0 || !ReadHex(argv[4], &bytes)) return 2;
  const bool sent = send(s, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
  close(s);
  return sent ? 0 : 1;
}

int Flood(char** argv) {
  const int s = Connect(argv[2], argv[3]);
  const long n = std::atol(argv[4]);
  const int seconds = std::atoi(argv[5]);
  std::vector<unsigned char> replay;
  if (s < 0 || n <= 0 || n > 1000000 || seconds <= 0 || seconds > 60 || !ReadHex(argv[6], &replay)) return 2;
  std::srand(static_cast<unsigned>(NowMs()));
  const long long end = NowMs() + seconds * 1000LL;
  long sent = 0;
  int answers = 0;
  unsigned char data[300];
  for (long i = 0; i < n && NowMs() < end; ++i) {
    const unsigned char* bytes = replay.data();
    std::size_t length = replay.size();
    if (i % 2 == 0) {
      length = static_cast<std::size_t>(std::rand() % static_cast<int>(sizeof data + 1));
      for (std::size_t k = 0; k < length; ++k) data[k] = static_cast<unsigned char>(std::rand());
      // Every fourth random one looks like a request of this version up to its signature.
      if (i % 4 == 0 && length >= 9) {
        length = wake::kRequestLength;
        std::memcpy(data, replay.data(), 9);
      }
      bytes = data;
    }
    // A full send queue drops the datagram; the relay sees fewer, which is still a flood.
    if (send(s, bytes, length, MSG_DONTWAIT) >= 0) ++sent;
    // Drain answers as they come, so that none is lost to a full receive queue.
    unsigned char in[2048];
    while (recv(s, in, sizeof in, MSG_DONTWAIT) > 0) ++answers;
  }
  answers += CountAnswers(s, 1000);
  std::printf("sent %ld answers %d\n", sent, answers);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "sign") == 0) return Sign(argv[2], argv[3], argv[4]);
  if (argc >= 5 && std::strcmp(argv[1], "send") == 0) return Send(argc, argv);
  if (argc == 7 && std::strcmp(argv[1], "flood") == 0) return Flood(argv);
  if (argc == 5 && std::strcmp(argv[1], "fire") == 0) return Fire(argv);
  std::fprintf(stderr, "usage: relay_peer sign KEYFILE MAC OFFSET | send HOST PORT HEX... | fire HOST PORT HEX | flood HOST PORT N "
               "SECONDS HEX\n");
  return 2;
}
