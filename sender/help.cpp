// kestrava's --help and --version: the command line summary and the version line.
#include <cstdio>

#include "platform/system.h"
#include "platform/ui.h"
#include "platform/version.h"
#include "sender/program.h"

namespace {

constexpr char kInformationCaption[] = "kestrava";
constexpr char kHelpText[] =
    "Usage: kestrava [/IP=<address> /MAC=<mac address>] [/nohdr] [/Debug=<n>] [title]\n"
    "       kestrava /IP=<address> /MAC=<mac address> [send options]\n"
    "       kestrava /MAC=<mac address> /To=<address> | /Ether [send options]\n"
    "       kestrava /File=<hosts file> [send options]\n"
    "       kestrava /MAC=<mac address> /Relay=<host[:port]> /Key=<file> [options]\n"
    "\n"
    "With /IP= and /MAC= kestrava sends one broadcast magic packet to the target's\n"
    "subnet-directed broadcast address on UDP port 1778, without a window, and exits\n"
    "with status 255 when every packet went out, 1 when one did not, 2 when an option\n"
    "value cannot be used (then nothing is sent). Otherwise it opens its dialog.\n"
    "\n"
    "  /IP=<address>      the target's IPv4 address (its subnet gets the broadcast)\n"
    "  /MAC=<mac address> the target's MAC address, groups separated by ':' or '-'\n"
    "  /nohdr             send the packets without their 16-byte KESTRAVA header\n"
    "  /Debug=<n>         debug flags; 1 shows each packet's destination in the\n"
    "                     dialog\n"
    "  <title>            a word shown in the dialog's caption after \"Tidewake\"\n"
    "  --help, -h, /?     this text\n"
    "  --version          the version\n"
    "\n"
    "Send options:\n"
    "  /Port=<n>          the UDP port, 1 to 65535 (default 1778; the dialog's too)\n"
    "  /Kind=1|2|4        1 broadcast magic packet (default), 2 short unsuspend\n"
    "                     datagram, 4 direct magic packet (2 and 4 go to the target)\n"
    "  /Interface=<name>  send through this interface (a name as `ip link` shows it,\n"
    "                     a Windows adapter's name, or its IPv4 address): its address\n"
    "                     is the source, its netmask makes the broadcast\n"
    "  /To=<address>      send to this IPv4 or IPv6 address instead, e.g.\n"
    "                     255.255.255.255 or ff02::1%lan0\n"
    "  /Count=<n>         send n times, 1 to 10000 (default 1); with n > 1 the header\n"
    "                     carries the sequence number 1..n\n"
    "  /Interval=<ms>     milliseconds between them, 0 to 60000 (default 100)\n"
    "  /Password=<xx-xx-xx-xx[-xx-xx]>  a SecureOn password after the magic packet\n"
    "  /Ether             a raw Ethernet frame (EtherType 0x0842) to\n"
    "                     ff:ff:ff:ff:ff:ff instead of UDP; Linux only, needs\n"
    "                     CAP_NET_RAW\n"
    "  /File=<path>       wake every host of the file: one a line,\n"
    "                     MAC [address] [name] [relay=host[:port]], '#' starts a\n"
    "                     comment\n"
    "  /Relay=<host[:port]>  ask the relay there (pilvorne -Relay, port 1779) to\n"
    "                     wake the MAC on its subnets; exit 1 unless it acknowledges\n"
    "                     within 3 tries of 2 s; /Count (1 to 16) is its copies\n"
    "  /Key=<file>        the relay key the requests are signed with\n"
    "  /Verbose           one line per packet sent, on standard output\n"
    "  /Wait[=<s>]        then watch every target with an address until it answers\n"
    "                     or s seconds pass, 1 to 3600 (default 120): one line per\n"
    "                     target; exit status 0 when all came up, 3 when one did\n"
    "                     not\n"
    "  /Probe=<port,...>  while waiting, TCP connects to these ports besides ping\n"
    "                     (an accept or a reset counts), e.g. /Probe=22,3389,445\n"
    "  /Resend=<s>        while waiting, each target's wake again every s seconds\n"
    "  /SkipAwake         no wakes when every target answers before them\n"
    "  /Json              one JSON object per target instead of its line\n"
    "\n"
    "Options start with '/' or '-' and ignore case; the last of a repeated option\n"
    "wins. An option that is not known ends the command line there: nothing is\n"
    "sent, and the dialog's status line names it.\n";
constexpr char kVersionFormat[] = "kestrava Version %u.%u.%u.%u\n";
constexpr char kUnknownVersion[] = "kestrava Version ??\n";

}  // namespace

const char* HelpText() { return kHelpText; }

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
