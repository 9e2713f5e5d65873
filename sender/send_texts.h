// The texts of kestrava's command-line sends: refused option values, hosts-file lines, raw frames, /Verbose.
#pragma once

#include "common/host_file.h"

namespace send_texts {

// Every line of the command-line sends starts with the program's name (the caption of the
// message box where Windows has no standard error to write it to).
constexpr char kProgramName[] = "kestrava";

// Why an option's value is refused, after "kestrava: <the option as given>: ". The address
// and scope texts serve hosts-file lines too.
constexpr char kBadPort[] = "the port is a number from 1 to 65535";
constexpr char kBadKind[] =
    "the kind is 1 (broadcast magic packet), 2 (short unsuspend datagram) or 4 (direct magic packet)";
constexpr char kBadCount[] = "the count is a number from 1 to 10000";
constexpr char kBadInterval[] = "the interval is a number of milliseconds from 0 to 60000";
constexpr char kBadPassword[] = "the password is 4 or 6 hexadecimal pairs, such as 01-23-45-67-89-AB";
constexpr const char* kBadAddress = wake::host_texts::kBadAddress;
constexpr char kNoInterfaceNamed[] = "names no interface";
constexpr char kNoFileNamed[] = "names no file";
constexpr char kUnknownInterface[] = "no IPv4 interface has that name or address";
constexpr char kUnknownScope[] = "no interface has the name or index after the %";
constexpr char kNeedsScope[] =
    "a link-local or multicast IPv6 address needs its interface after a %, such as fe80::1%eth0 (or /Interface=)";
constexpr char kPasswordNeedsMagic[] =
    "cannot be used with /Kind=2: the password follows the 16 MAC copies of a magic packet";
constexpr char kEtherSendsMagic[] = "cannot be used with /Ether, which sends the magic packet only";
constexpr char kEtherHasNoAddress[] =
    "cannot be used with /Ether, whose frame goes to ff:ff:ff:ff:ff:ff on the interface";
constexpr char kEtherHasNoPort[] = "cannot be used with /Ether: an Ethernet frame has no port";
constexpr char kBadWait[] = "the wait is a number of seconds from 1 to 3600";
constexpr char kBadProbe[] = "the ports are 1 to 16 numbers from 1 to 65535, separated by commas";
constexpr char kBadResend[] = "the time between wakes is a number of seconds from 1 to 3600";
constexpr char kNeedsWait[] = "cannot be used without /Wait";
constexpr char kResendBeyondWait[] = "is not shorter than the wait: no wake would be sent again";
constexpr char kNothingToWatch[] =
    "no target to watch: none has an IPv4 address of one machine (IP=, /To= or in the hosts file)";
constexpr char kFileNamesNoHost[] = "names no host to wake";
constexpr const char* kBadRelay = wake::host_texts::kLineBadRelay;
constexpr char kRelayNeedsKey[] = "needs /Key=FILE, the relay key the request is signed with";
constexpr char kKeyNeedsRelay[] = "needs /Relay=HOST or a hosts file whose lines name relays";
constexpr char kRelaySendsMagic[] = "cannot be used with /Relay, which asks for the magic packet only";
constexpr char kRelayHasNoAddress[] = "cannot be used with /Relay: the relay wakes on its own subnets";
constexpr char kRelayBadCount[] = "through a relay the count is a number from 1 to 16: the relay sends the copies";
constexpr char kFileRelaysNeedKey[] = "names relays: /Key=FILE is needed to sign their requests";
constexpr char kRefusedFormat[] = "%s: %s";

// Why the command line ended early, after "<the token as given>: ": nothing after that token
// was read, and nothing is sent. The dialog's status line names it; when the dialog cannot
// open, one line on standard error does.
constexpr char kEndedNotAnOption[] = "not an option";
constexpr char kEndedSecondWord[] = "a second title word";
constexpr char kEndedLineFormat[] = "%s: %s: %s\n";  // the program's name, the token, why

// A hosts-file line that cannot be read, after "kestrava: <file>:<line>: ".
constexpr char kLineNeedsAddress[] = "no address to send a /Kind=2 or /Kind=4 datagram to";
constexpr char kBadLineFormat[] = "%s:%d: %s: %s";

// /Wait without its probes: the wakes still go out.
constexpr char kCannotWatchFormat[] = "cannot watch the targets: %s";

// Raw Ethernet frames that cannot be sent.
constexpr char kEtherNeedsCapNetRaw[] =
    "/Ether needs the CAP_NET_RAW capability to send raw Ethernet frames: run it as root, or "
    "grant it with setcap cap_net_raw+ep";
constexpr char kEtherNeedsLinux[] =
    "/Ether needs the Linux build of kestrava: Windows lets no program send raw Ethernet frames";
constexpr char kEtherNoInterface[] = "/Ether: no interface to send the frame through";
constexpr char kSendEtherErrCaption[] = "SendEther err";
// A failed send of a hosts-file target: the step's caption, then the line.
constexpr char kHostCaptionFormat[] = "%s (%s:%d)";

// /Verbose: one line per datagram or frame on standard output.
// Each line names the MAC the wake is for: MAC= is read leniently, and this shows what it made.
constexpr char kVerboseUdpFormat[] = "%s port %u: %s, %u bytes, sequence %s, from %s on %s for %s%s%s\n";
constexpr char kVerboseEtherFormat[] = "ff:ff:ff:ff:ff:ff EtherType 0x%04X: %s, %u bytes, on %s for %s%s%s\n";
constexpr char kVerboseHost[] = ", host ";
constexpr char kVerboseNoSequence[] = "-";
constexpr char kVerboseUnknown[] = "?";
constexpr char kKindBroadcastMagic[] = "broadcast magic packet";
constexpr char kKindShortUnsuspend[] = "short unsuspend datagram";
constexpr char kKindDirectMagic[] = "direct magic packet";
constexpr char kKindEtherFrame[] = "Ethernet wake frame";

// A wake sent through a relay (relay_send.cpp): /Verbose's line on success, one line on failure.
constexpr char kVerboseRelayedFormat[] = "relayed by %s: %s%s%s\n";
constexpr char kRelayFailedFormat[] = "relay %s port %d: %s%s";   // where, why, the hosts-file line
constexpr char kRelayLineFormat[] = " (%s:%d)";
constexpr char kRelayNoAnswer[] = "no acknowledgement after 3 tries of 2 s; the wake was not relayed";
constexpr char kRelayBadAnswer[] =
    "no valid acknowledgement after 3 tries of 2 s (an answer came that is not signed with the key)";
constexpr char kRelayUnknownHostFormat[] = "relay=%s: the relay's name cannot be resolved%s";
constexpr char kRelaySendFailedFormat[] = "relay %s port %d: the request was not sent: %s%s";
constexpr char kRelayNoRandom[] = "the system's random generator gave no bytes for a request";
constexpr char kRelayCannotSign[] = "the system's cryptography cannot sign the request";

}  // namespace send_texts
