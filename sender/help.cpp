// kestrava's --help and --version: the command line summary and the version line.
#include <cstdio>

#include "platform/system.h"
#include "platform/ui.h"
#include "platform/version.h"
#include "sender/program.h"

namespace {

constexpr char kInformationCaption[] = "kestrava";
constexpr char kHelpText[] =
    "Usage: kestrava [/IP=<address> /MAC=<mac address>] [/nohdr] [/Debug=<n>] [<title word>]\n"
    "\n"
    "With /IP= and /MAC= kestrava sends one broadcast magic packet to the target's\n"
    "subnet-directed broadcast address on UDP port 1778, without a window, and exits\n"
    "with status 255. Otherwise it opens its dialog.\n"
    "\n"
    "  /IP=<address>      the target's IPv4 address (its subnet gets the broadcast)\n"
    "  /MAC=<mac address> the target's MAC address, groups separated by ':' or '-'\n"
    "  /nohdr             send the packets without their 16-byte KESTRAVA header\n"
    "  /Debug=<n>         debug flags; 1 shows each packet's destination in the dialog\n"
    "  <title word>       shown in the dialog's caption after \"Tidewake\"\n"
    "  --help, -h, /?     this text\n"
    "  --version          the version\n"
    "\n"
    "Options start with '/' or '-' and ignore case. An option that is not known ends the\n"
    "command line there.\n";
constexpr char kVersionFormat[] = "kestrava Version %u.%u.%u.%u\n";
constexpr char kUnknownVersion[] = "kestrava Version ??\n";

}  // namespace

void ShowHelp() { platform::show_information(kInformationCaption, kHelpText); }

void ShowVersion() {
  char path[platform::kPathRoom];
  platform::VersionRecord record{};
  char line[64];
  if (platform::module_path(path, sizeof path) != 0 && platform::read_version_record(path, &record)) {
    std::snprintf(line, sizeof line, kVersionFormat, record.file_version[0], record.file_version[1],
                  record.file_version[2], record.file_version[3]);
  } else {
    std::snprintf(line, sizeof line, "%s", kUnknownVersion);
  }
  platform::show_information(kInformationCaption, line);
}
