// The options of the sends started from the command line (/Port=, /Kind=, /To=, ...): their record and how each is read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wake_packet.h"
#include "sender/address.h"
#include "sender/wait.h"
#include "sender/wake_packet.h"

constexpr int kDefaultCount = 1;
constexpr int kMaxCount = 10000;
constexpr int kDefaultIntervalMs = 100;
constexpr int kMaxIntervalMs = 60000;

// /Wait and the options that only go with it: whether to watch the targets after the wakes,
// for how long, what to probe, how often to wake them again, and how to say what came of it.
// The flags keep their tokens too, so that a refusal names them as given.
struct WaitOptions {
  const char* wait_token = nullptr;
  int seconds = kDefaultWaitSeconds;
  const char* probe_token = nullptr;
  std::uint16_t ports[kMaxProbePorts] = {};   // each port once, in the order given
  int port_count = 0;
  const char* resend_token = nullptr;
  int resend_seconds = 0;                     // 0: no wake again
  const char* skip_awake_token = nullptr;     // no wakes when every target is already awake
  const char* json_token = nullptr;           // one JSON object per target instead of a line
};

// The send options of one command line. Each keeps the token it was read from as given
// (nullptr: not given; of a repeated option the last one), so that a refusal can name it, and
// the value read from it. Texts point into the parsed command-line text.
struct SendOptions {
  const char* port_token = nullptr;
  std::int32_t port = kDefaultSenderPort;
  const char* kind_token = nullptr;
  int kind = wake::kSendBroadcastMagic;       // one of the send flags 1, 2, 4
  const char* interface_token = nullptr;
  const char* interface_name = nullptr;       // a name or an IPv4 address, found when sending
  const char* to_token = nullptr;
  WakeAddress to = {};                        // its scope is found when sending
  const char* count_token = nullptr;
  int count = kDefaultCount;
  const char* interval_token = nullptr;
  int interval_ms = kDefaultIntervalMs;
  const char* password_token = nullptr;
  std::uint8_t password[wake::kLongPasswordLength] = {};
  std::size_t password_length = 0;            // 0, 4 or 6
  const char* file_token = nullptr;
  const char* file_path = nullptr;
  bool ether = false;
  bool verbose = false;
  WaitOptions wait;
  const char* relay_token = nullptr;
  const char* relay_text = nullptr;           // HOST[:PORT] of /Relay=, checked by wake::ReadRelayText
  const char* key_token = nullptr;
  const char* key_path = nullptr;             // /Key=FILE: the relay key a request is signed with
};

enum class OptionRead {
  kNotASendOption,  // the word names none of the send options
  kRead,
  kBadValue,        // a send option whose value cannot be read: *reason says what it takes
};

// Reads one option (the token without its lead '/' or '-' is `option`) into `options` when it
// is a send option; names ignore ASCII case.
OptionRead ReadSendOption(const char* token, const char* option, SendOptions* options,
                          const char** reason);

// The first of the options that do not fit together: the token to refuse (in *token) and
// why; nullptr when they all fit.
const char* CheckSendOptions(const SendOptions& options, const char** token);
