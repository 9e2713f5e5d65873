// A wake through a relay: the signed request to the target's relay, tried 3 times, each waiting 2 s for the relay's signed acknowledgement.
#include <cstdio>
#include <cstring>

#include "common/address_text.h"
#include "common/relay_request.h"
#include "common/relay_sign.h"
#include "common/relay_text.h"
#include "common/wake_address.h"
#include "platform/crypto.h"
#include "platform/host.h"
#include "platform/time.h"
#include "platform/waiting.h"
#include "sender/error_text.h"
#include "sender/send_plan.h"
#include "sender/send_texts.h"

namespace {

constexpr int kTries = 3;
constexpr int kTryMs = 2000;
// An acknowledgement is 162 bytes; room for more, so that a longer datagram is seen as such.
constexpr int kAnswerRoom = 512;
constexpr std::size_t kHostRoom = 256;
constexpr std::size_t kRelayedToRoom = 512;

std::uint64_t NowMs() {
  return platform::performance_counter() / (platform::performance_frequency() / 1000);
}

// " (hosts.txt:3)" for a hosts-file target, "" for the command line's.
void LineSuffix(const SendPlan& plan, const WakeTarget& target, char* text, std::size_t room) {
  text[0] = '\0';
  if (target.line != 0) std::snprintf(text, room, send_texts::kRelayLineFormat, plan.file_path, target.line);
}

// The request for the target as the command line asks for it, without nonce and time.
wake::RelayRequest BaseRequest(const SendOptions& options, const WakeTarget& target, const wake::RelayKey& key) {
  wake::RelayRequest r;
  r.send = options.ether ? wake::kRelaySendFrame : wake::kRelaySendBroadcast;
  r.copies = static_cast<std::uint8_t>(options.count < wake::kRelayMaxCopies ? options.count : wake::kRelayMaxCopies);
  std::memcpy(r.mac, target.mac, sizeof r.mac);
  r.password_length = static_cast<std::uint8_t>(options.password_length);
  std::memcpy(r.password, options.password, options.password_length);
  std::memcpy(r.key_id, key.id, sizeof r.key_id);
  if (!options.ether) {
    r.port_count = 1;
    r.ports[0] = ntohs(DestinationPort(g_program.sender.port));
  }
  return r;
}

enum class Answer { kNone, kValid, kInvalid };

// Waits until `deadline` for the acknowledgement of one of the `sent` nonces; a datagram that
// is not one (another key, a bad signature, an answer to no request of ours) is passed over.
Answer AwaitAnswer(SOCKET s, const wake::RelayKey& key, const std::uint8_t (*nonces)[wake::kRelayNonceLength],
                   int sent, std::uint64_t deadline, wake::RelayAck* ack) {
  Answer seen = Answer::kNone;
  std::uint8_t buffer[kAnswerRoom];
  for (std::uint64_t now = NowMs(); now < deadline; now = NowMs()) {
    const int waited = platform::wait_readable(s, static_cast<int>(deadline - now));
    if (waited == platform::kWaitStopped || waited == platform::kWaitFailed) return seen;
    if (waited != platform::kWaitReady) continue;
    // A refused port (ICMP) shows as an error here: the relay is not running, or not yet.
    const int n = recv(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
    if (n <= 0) continue;
    if (wake::ReadSignedRelayAck(buffer, static_cast<std::size_t>(n), key, ack) != wake::AckCheck::kValid) {
      seen = Answer::kInvalid;
      continue;
    }
    for (int i = 0; i < sent; ++i) {
      if (std::memcmp(ack->nonce, nonces[i], wake::kRelayNonceLength) == 0) return Answer::kValid;
    }
    seen = Answer::kInvalid;
  }
  return seen;
}

}  // namespace

bool SendTargetRelayed(const SendOptions& options, const SendPlan& plan, const WakeTarget& target) {
  char where[64];
  LineSuffix(plan, target, where, sizeof where);
  wake::RelayEndpointText endpoint{};
  if (!wake::ReadRelayText(target.relay, &endpoint)) return false;  // read when the line was
  char host[kHostRoom];
  std::snprintf(host, sizeof host, "%.*s", static_cast<int>(endpoint.host_length), endpoint.host);
  std::uint8_t parts[4];
  std::uint32_t address = 0;
  if (wake::ReadDottedQuad(host, parts)) {
    std::memcpy(&address, parts, sizeof address);
  } else if (!platform::lookup_host_ipv4(host, &address)) {
    ReportLine(send_texts::kRelayUnknownHostFormat, target.relay, where);
    return false;
  }
  char relay[wake::kIpTextRoom];
  wake::FormatIpText(wake::Ipv4Address(address), relay, sizeof relay);

  // Connected: only the relay's own datagrams arrive, and a refused port is reported.
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(static_cast<unsigned short>(endpoint.port));
  if (s == INVALID_SOCKET || connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
    ReportLine(send_texts::kRelaySendFailedFormat, relay, endpoint.port,
               WinsockErrorText(static_cast<std::uint32_t>(platform::last_socket_error())), where);
    if (s != INVALID_SOCKET) closesocket(s);
    return false;
  }

  // The file's first key signs.
  const wake::RelayKey& key = plan.relay_keys.keys[0];
  wake::RelayRequest request = BaseRequest(options, target, key);
  std::uint8_t nonces[kTries][wake::kRelayNonceLength];
  Answer answer = Answer::kNone;
  wake::RelayAck ack;
  const char* failure = nullptr;
  int send_error = 0;
  for (int attempt = 0; attempt < kTries && answer != Answer::kValid; ++attempt) {
    // Every try is a request of its own: the relay refuses a nonce it has seen, so a resend
    // after a lost answer would be refused as a replay. A wake relayed twice does no harm.
    if (!platform::random_bytes(nonces[attempt], wake::kRelayNonceLength)) {
      failure = send_texts::kRelayNoRandom;
      break;
    }
    std::memcpy(request.nonce, nonces[attempt], sizeof request.nonce);
    platform::TimeWithMs now{};
    platform::time_with_ms(&now);
    request.time = now.seconds > 0 ? static_cast<std::uint64_t>(now.seconds) : 0;
    std::uint8_t datagram[wake::kRequestLength];
    if (!wake::SignRelayRequest(request, key, datagram)) {
      failure = send_texts::kRelayCannotSign;
      break;
    }
    if (send(s, reinterpret_cast<const char*>(datagram), static_cast<int>(sizeof datagram), 0) !=
        static_cast<int>(sizeof datagram)) {
      send_error = platform::last_socket_error();
    }
    const Answer got = AwaitAnswer(s, key, nonces, attempt + 1, NowMs() + kTryMs, &ack);
    if (got != Answer::kNone) answer = got;
  }
  closesocket(s);
  if (answer == Answer::kValid) {
    if (options.verbose) {
      char relayed_to[kRelayedToRoom];
      wake::FormatRelayedTo(ack, relayed_to, sizeof relayed_to);
      std::printf(send_texts::kVerboseRelayedFormat, relay, relayed_to,
                  target.name != nullptr ? send_texts::kVerboseHost : "", target.name != nullptr ? target.name : "");
      std::fflush(stdout);
    }
    return true;
  }
  if (failure == nullptr && answer == Answer::kNone && send_error != 0) {
    ReportLine(send_texts::kRelaySendFailedFormat, relay, endpoint.port,
               WinsockErrorText(static_cast<std::uint32_t>(send_error)), where);
    return false;
  }
  if (failure == nullptr) failure = answer == Answer::kInvalid ? send_texts::kRelayBadAnswer : send_texts::kRelayNoAnswer;
  ReportLine(send_texts::kRelayFailedFormat, relay, endpoint.port, failure, where);
  return false;
}
