// The options of the sends started from the command line: each word, its value read strictly, and the pairs that do not fit.
#include "sender/send_options.h"

#include <cstring>
#include <initializer_list>

#include "common/ascii.h"
#include "common/host_file.h"
#include "common/number.h"
#include "common/relay_request.h"
#include "sender/send_texts.h"

namespace {

constexpr char kPortOption[] = "Port=";
constexpr char kKindOption[] = "Kind=";
constexpr char kInterfaceOption[] = "Interface=";
constexpr char kToOption[] = "To=";
constexpr char kCountOption[] = "Count=";
constexpr char kIntervalOption[] = "Interval=";
constexpr char kPasswordOption[] = "Password=";
constexpr char kFileOption[] = "File=";
constexpr char kEtherOption[] = "Ether";
constexpr char kVerboseOption[] = "Verbose";
constexpr char kWaitOption[] = "Wait";
constexpr char kProbeOption[] = "Probe=";
constexpr char kResendOption[] = "Resend=";
constexpr char kSkipAwakeOption[] = "SkipAwake";
constexpr char kJsonOption[] = "Json";
constexpr char kRelayOption[] = "Relay=";
constexpr char kKeyOption[] = "Key=";
constexpr int kMaxPort = 65535;

// Four or six pairs of hexadecimal digits separated by '-' or ':'.
bool ReadPassword(const char* text, std::uint8_t out[wake::kLongPasswordLength], std::size_t* length) {
  std::size_t pairs = 0;
  for (;;) {
    if (pairs == wake::kLongPasswordLength || !IsHexDigit(text[0]) || !IsHexDigit(text[1])) return false;
    out[pairs++] = static_cast<std::uint8_t>(wake::DigitValue(text[0]) * 16 + wake::DigitValue(text[1]));
    text += 2;
    if (*text == '\0') break;
    if (*text != '-' && *text != ':') return false;
    ++text;
  }
  if (pairs != wake::kShortPasswordLength && pairs != wake::kLongPasswordLength) return false;
  *length = pairs;
  return true;
}

// The value after a name that ends in '=', or nullptr when `option` does not start with it.
const char* ValueOf(const char* option, const char* name) {
  return wake::StartsWithNoCase(option, name) ? option + std::strlen(name) : nullptr;
}

// One to kMaxProbePorts ports separated by commas; a port named twice is probed once.
bool ReadPorts(const char* text, WaitOptions* wait) {
  wait->port_count = 0;
  for (;;) {
    const char* comma = std::strchr(text, ',');
    const std::size_t length = comma != nullptr ? static_cast<std::size_t>(comma - text) : std::strlen(text);
    char digits[16];
    if (length == 0 || length >= sizeof digits) return false;
    std::memcpy(digits, text, length);
    digits[length] = '\0';
    int port = 0;
    if (!wake::ReadNumber(digits, 1, 65535, &port)) return false;
    bool known = false;
    for (int i = 0; i < wait->port_count; ++i) known = known || wait->ports[i] == port;
    if (!known) {
      if (wait->port_count == kMaxProbePorts) return false;
      wait->ports[wait->port_count++] = static_cast<std::uint16_t>(port);
    }
    if (comma == nullptr) return true;
    text = comma + 1;
  }
}

// /Wait (or /Wait=S), /Probe=, /Resend=, /SkipAwake and /Json: false when `option` is none of
// them; *bad is set when its value cannot be read.
bool ReadWaitOption(const char* token, const char* option, WaitOptions* wait, const char** bad) {
  const char* value;
  if (wake::EqualsNoCase(option, kWaitOption)) {
    wait->seconds = kDefaultWaitSeconds;
    wait->wait_token = token;
  } else if (wake::StartsWithNoCase(option, kWaitOption) && option[std::strlen(kWaitOption)] == '=') {
    if (!wake::ReadNumber(option + std::strlen(kWaitOption) + 1, kMinWaitSeconds, kMaxWaitSeconds, &wait->seconds)) {
      *bad = send_texts::kBadWait;
    }
    wait->wait_token = token;
  } else if ((value = ValueOf(option, kProbeOption)) != nullptr) {
    if (!ReadPorts(value, wait)) *bad = send_texts::kBadProbe;
    wait->probe_token = token;
  } else if ((value = ValueOf(option, kResendOption)) != nullptr) {
    if (!wake::ReadNumber(value, kMinWaitSeconds, kMaxWaitSeconds, &wait->resend_seconds)) *bad = send_texts::kBadResend;
    wait->resend_token = token;
  } else if (wake::EqualsNoCase(option, kSkipAwakeOption)) {
    wait->skip_awake_token = token;
  } else if (wake::EqualsNoCase(option, kJsonOption)) {
    wait->json_token = token;
  } else {
    return false;
  }
  return true;
}

// The options that only make sense while waiting, given without /Wait; a /Resend that the
// wait would end before.
const char* CheckWaitOptions(const WaitOptions& wait, const char** token) {
  if (wait.wait_token == nullptr) {
    for (const char* alone : {wait.probe_token, wait.resend_token, wait.skip_awake_token, wait.json_token}) {
      if (alone != nullptr) {
        *token = alone;
        return send_texts::kNeedsWait;
      }
    }
    return nullptr;
  }
  if (wait.resend_token != nullptr && wait.resend_seconds >= wait.seconds) {
    *token = wait.resend_token;
    return send_texts::kResendBeyondWait;
  }
  return nullptr;
}

}  // namespace

OptionRead ReadSendOption(const char* token, const char* option, SendOptions* options,
                          const char** reason) {
  // A bad value refuses the whole command line, so what it leaves in the record is never used.
  const char* value;
  const char* bad = nullptr;
  if ((value = ValueOf(option, kPortOption)) != nullptr) {
    if (!wake::ReadNumber(value, 1, kMaxPort, &options->port)) bad = send_texts::kBadPort;
    options->port_token = token;
  } else if ((value = ValueOf(option, kKindOption)) != nullptr) {
    int kind = 0;
    if (!wake::ReadNumber(value, 1, wake::kSendDirectMagic, &kind) || kind == 3) bad = send_texts::kBadKind;
    options->kind = kind;
    options->kind_token = token;
  } else if ((value = ValueOf(option, kInterfaceOption)) != nullptr) {
    if (*value == '\0') bad = send_texts::kNoInterfaceNamed;
    options->interface_name = value;
    options->interface_token = token;
  } else if ((value = ValueOf(option, kToOption)) != nullptr) {
    if (!ReadWakeAddress(value, &options->to)) bad = send_texts::kBadAddress;
    options->to_token = token;
  } else if ((value = ValueOf(option, kCountOption)) != nullptr) {
    if (!wake::ReadNumber(value, 1, kMaxCount, &options->count)) bad = send_texts::kBadCount;
    options->count_token = token;
  } else if ((value = ValueOf(option, kIntervalOption)) != nullptr) {
    if (!wake::ReadNumber(value, 0, kMaxIntervalMs, &options->interval_ms)) bad = send_texts::kBadInterval;
    options->interval_token = token;
  } else if ((value = ValueOf(option, kPasswordOption)) != nullptr) {
    if (!ReadPassword(value, options->password, &options->password_length)) bad = send_texts::kBadPassword;
    options->password_token = token;
  } else if ((value = ValueOf(option, kFileOption)) != nullptr) {
    if (*value == '\0') bad = send_texts::kNoFileNamed;
    options->file_path = value;
    options->file_token = token;
  } else if ((value = ValueOf(option, kRelayOption)) != nullptr) {
    wake::RelayEndpointText endpoint{};
    if (!wake::ReadRelayText(value, &endpoint)) bad = send_texts::kBadRelay;
    options->relay_text = value;
    options->relay_token = token;
  } else if ((value = ValueOf(option, kKeyOption)) != nullptr) {
    if (*value == '\0') bad = send_texts::kNoFileNamed;
    options->key_path = value;
    options->key_token = token;
  } else if (wake::EqualsNoCase(option, kEtherOption)) {
    options->ether = true;
  } else if (wake::EqualsNoCase(option, kVerboseOption)) {
    options->verbose = true;
  } else if (!ReadWaitOption(token, option, &options->wait, &bad)) {
    return OptionRead::kNotASendOption;
  }
  if (bad != nullptr) {
    *reason = bad;
    return OptionRead::kBadValue;
  }
  return OptionRead::kRead;
}

const char* CheckSendOptions(const SendOptions& options, const char** token) {
  if (options.password_token != nullptr && options.kind == wake::kSendShortUnsuspend) {
    *token = options.password_token;
    return send_texts::kPasswordNeedsMagic;
  }
  if (const char* why = CheckWaitOptions(options.wait, token)) return why;
  // The relay wakes its own subnets with the magic packet: what it sends is its to choose.
  if (options.relay_token != nullptr) {
    if (options.key_token == nullptr) {
      *token = options.relay_token;
      return send_texts::kRelayNeedsKey;
    }
    if (options.kind_token != nullptr && options.kind != wake::kSendBroadcastMagic) {
      *token = options.kind_token;
      return send_texts::kRelaySendsMagic;
    }
    if (options.to_token != nullptr) {
      *token = options.to_token;
      return send_texts::kRelayHasNoAddress;
    }
    if (options.count > wake::kRelayMaxCopies) {
      *token = options.count_token;
      return send_texts::kRelayBadCount;
    }
  } else if (options.key_token != nullptr && options.file_token == nullptr) {
    *token = options.key_token;
    return send_texts::kKeyNeedsRelay;
  }
  if (!options.ether) return nullptr;
  if (options.kind != wake::kSendBroadcastMagic) {
    *token = options.kind_token;
    return send_texts::kEtherSendsMagic;
  }
  if (options.to_token != nullptr) {
    *token = options.to_token;
    return send_texts::kEtherHasNoAddress;
  }
  if (options.port_token != nullptr) {
    *token = options.port_token;
    return send_texts::kEtherHasNoPort;
  }
  return nullptr;
}
