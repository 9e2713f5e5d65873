// pilvorne's command line: -PortNo[=n], -Help, -?, -Version, --help, --version and the newer options' whole words; "/" for "-".
#include <cstring>

#include "common/ascii.h"
#include "common/number.h"
#include "common/wake_packet.h"
#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

namespace {

// Compares the first `length` characters of `text` with `word` (at least that long), ignoring
// ASCII case; a text that ends before `length` characters does not match.
bool starts_with_word(const char* text, const char* word, std::size_t length) {
  return wake::EqualNoCase(text, word, length);
}

// The words of --help and --version after the lead character ("/-help" too, any case): whole
// words, since "-help" after the lead is no other option's beginning.
constexpr char kHelpWord[] = "-help";
constexpr char kVersionWord[] = "-version";

// The port value starts after the lead character, "PortNo" and one separator.
constexpr std::size_t kPortValueOffset = 8;

void print_usage(FILE* err) {
  std::fputs(kUsageLine1, err);
  std::fputs(kUsageLine2, err);
  std::fflush(err);
}

int syntax_error(FILE* err, const char* arg) {
  std::fprintf(err, kSyntaxErrorFormat, arg);
  print_usage(err);
  return kExitUsage;
}

// The inspector's options are whole words, none of which starts like the four above, so no
// command line of the plain listener changes meaning. Those with a value take it after "=".
enum class Word { kExplain, kJson, kIpv6, kSummary, kAny, kCount, kTimeout, kMac, kInterface, kRead, kCheck, kEnable, kNewKey,
                  kRelay, kKey, kHosts, kEther };
struct WordRow {
  const char* name;
  bool takes_value;
  Word word;
};
const WordRow kWords[] = {
    {"explain", false, Word::kExplain}, {"json", false, Word::kJson},
    {"ipv6", false, Word::kIpv6},       {"summary", false, Word::kSummary},
    {"any", false, Word::kAny},         {"count", true, Word::kCount},
    {"timeout", true, Word::kTimeout},  {"mac", true, Word::kMac},
    {"interface", true, Word::kInterface}, {"read", true, Word::kRead},
    {"check", false, Word::kCheck},     {"enable", false, Word::kEnable},
    {"newkey", true, Word::kNewKey},     {"relay", false, Word::kRelay},
    {"key", true, Word::kKey},           {"hosts", true, Word::kHosts},
    {"ether", false, Word::kEther},
};

// The row `word` (the argument after its lead character) names, with its value; nullptr when
// it names none or a value is missing or unwanted.
const WordRow* FindWord(const char* word, const char** value) {
  for (const WordRow& row : kWords) {
    std::size_t n = std::strlen(row.name);
    if (!wake::EqualNoCase(word, row.name, n)) continue;
    const char* rest = word + n;
    if (row.takes_value ? *rest != '=' : *rest != '\0') return nullptr;
    *value = row.takes_value ? rest + 1 : nullptr;
    return &row;
  }
  return nullptr;
}

// A count or a number of seconds: 1 to 999999999, digits only.
bool ParseLimit(const char* text, int* value) { return wake::ReadNumber(text, 1, 999999999, value); }

// Applies one of the inspector's words (or those of -Check, -Enable, -NewKey and -Relay);
// false makes it a syntax error.
bool ApplyWord(const char* word, ListenerCommandLine* line) {
  const char* value = nullptr;
  const WordRow* row = FindWord(word, &value);
  if (row == nullptr) return false;
  InspectOptions* o = &line->options;
  switch (row->word) {
    case Word::kCheck: line->check = true; return true;
    case Word::kEnable: line->enable = true; return true;
    case Word::kExplain: o->explain = true; return true;
    case Word::kJson: o->json = true; return true;
    case Word::kIpv6: o->ipv6 = true; return true;
    case Word::kSummary: o->summary = true; return true;
    // Capturing on every port and reading a file are two ways of getting frames: one at a time.
    case Word::kAny: o->any = true; return o->read_path == nullptr;
    case Word::kRead:
      o->read_path = value;
      return *value != '\0' && !o->any;
    case Word::kCount: return ParseLimit(value, &o->count);
    case Word::kTimeout: return ParseLimit(value, &o->timeout_seconds);
    case Word::kMac:
      o->mac_given = wake::ReadMacText(value, o->mac);
      return o->mac_given;
    case Word::kInterface:
      o->interface_name = value;
      return *value != '\0';
    case Word::kNewKey:
      line->new_key_path = value;
      return *value != '\0';
    case Word::kRelay: line->relay.relay = true; return true;
    case Word::kKey:
      line->relay.key_path = value;
      return *value != '\0';
    case Word::kHosts:
      line->relay.hosts_path = value;
      return *value != '\0';
    case Word::kEther: line->relay.ether = true; return true;
  }
  return false;
}

// Whether -Json is among the arguments: its output is JSON alone, so version lines printed
// while the command line is read go to standard error then.
bool JsonRequested(int argc, char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const char* value = nullptr;
    const char* arg = argv[i];
    const WordRow* row = (arg[0] == '-' || arg[0] == '/') ? FindWord(arg + 1, &value) : nullptr;
    if (row != nullptr && row->word == Word::kJson) return true;
  }
  return false;
}

}  // namespace

ListenerCommandLine ParseListenerCommandLine(int argc, char* const* argv, const char* version_field,
                                             FILE* out, FILE* err) {
  ListenerCommandLine line;
  bool usage_requested = false;
  FILE* const information = out;  // --help and --version print no JSON: standard output
  if (JsonRequested(argc, argv)) out = err;
  const char* interface_arg = nullptr;
  const char* readiness_arg = nullptr;  // the first -Check or -Enable
  const char* socket_arg = nullptr;     // the first -PortNo or -IPv6: options of the socket alone
  const char* relay_arg = nullptr;      // the first -Relay
  const char* relay_option_arg = nullptr;  // the first -Key, -Hosts or -Ether
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    bool known = false;
    if (arg[0] == '-' || arg[0] == '/') {
      const char* word = arg + 1;
      known = true;
      const bool help = wake::EqualsNoCase(word, kHelpWord);
      if (help || wake::EqualsNoCase(word, kVersionWord)) {
        if (help) {
          std::fputs(kHelpText, information);
        } else {
          std::fprintf(information, kVersionLineFormat, kProgramName, version_field, kBuildDate);
        }
        std::fflush(information);
        line.finished = true;
        line.exit_code = kExitInformation;
        return line;
      }
      if (starts_with_word(word, "portno", 6)) {
        // "-PortNo" alone carries no value: the port stays as it is rather than being
        // read from beyond the end of the argument.
        if (std::strlen(arg) >= kPortValueOffset) {
          line.port = wake::ParseDecimal(arg + kPortValueOffset);
          line.relay.port_given = true;
        }
        if (socket_arg == nullptr) socket_arg = arg;
      } else if (starts_with_word(word, "help", 4) || starts_with_word(word, "?", 1)) {
        usage_requested = true;
      } else if (starts_with_word(word, "version", 7)) {
        std::fprintf(out, kVersionLineFormat, kProgramName, version_field, kBuildDate);
        std::fflush(out);
      } else {
        const bool readiness = line.check || line.enable;
        const RelayOptions relay_before = line.relay;
        known = ApplyWord(word, &line);
        if (line.relay.relay && !relay_before.relay && relay_arg == nullptr) relay_arg = arg;
        const bool relay_option = line.relay.key_path != relay_before.key_path ||
                                  line.relay.hosts_path != relay_before.hosts_path ||
                                  line.relay.ether != relay_before.ether;
        if (relay_option && relay_option_arg == nullptr) relay_option_arg = arg;
        if (line.options.interface_name != nullptr && interface_arg == nullptr) interface_arg = arg;
        if ((line.check || line.enable) && !readiness) readiness_arg = arg;
        if (line.options.ipv6 && socket_arg == nullptr) socket_arg = arg;
      }
    }
    if (!known) {
      line.exit_code = syntax_error(err, arg);
      return line;
    }
  }
  // An interface is something to capture on, the card to check or enable, or where the relay
  // wakes. -Check and -Enable end without listening, so no option of the listener goes with
  // them. The relay takes its own options and of the listener's only those that shape its
  // output and its end; its key, hosts file and frames belong to it alone.
  const InspectOptions& o = line.options;
  const bool listening = o.explain || o.ipv6 || o.summary || o.any || o.count != 0 || o.timeout_seconds != 0 ||
                         o.mac_given || o.read_path != nullptr;
  const bool not_relaying = o.explain || o.ipv6 || o.any || o.mac_given || o.read_path != nullptr ||
                            readiness_arg != nullptr || line.new_key_path != nullptr;
  if (relay_arg != nullptr && (not_relaying || line.relay.key_path == nullptr)) {
    line.exit_code = syntax_error(err, relay_arg);
  } else if (relay_arg == nullptr && relay_option_arg != nullptr) {
    line.exit_code = syntax_error(err, relay_option_arg);
  } else if (relay_arg != nullptr) {
    if (usage_requested) {
      print_usage(err);
      line.exit_code = kExitUsage;
    }
  } else if (readiness_arg != nullptr && (listening || (line.enable && o.interface_name == nullptr))) {
    line.exit_code = syntax_error(err, readiness_arg);
  } else if (interface_arg != nullptr && !o.any && readiness_arg == nullptr) {
    line.exit_code = syntax_error(err, interface_arg);
  } else if (socket_arg != nullptr && (line.options.any || line.options.read_path != nullptr)) {
    // A capture sees every port of both families: a port or IPv6 would change nothing there.
    line.exit_code = syntax_error(err, socket_arg);
  } else if (usage_requested) {
    print_usage(err);
    line.exit_code = kExitUsage;
  }
  return line;
}

}  // namespace listener
