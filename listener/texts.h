// Every text pilvorne prints, in one place.
#pragma once

namespace listener {

constexpr char kProgramName[] = "pilvorne";     // first word of the version line
constexpr char kBuildDate[] = "(May 12 2005)";  // build date in parentheses
constexpr char kVersionLineFormat[] = "%s %s %s\n";
constexpr char kSyntaxErrorFormat[] = "Syntax error near %s\n";
constexpr char kUsageLine1[] = "pilvorne  [-PortNo[=1778]]\n";
constexpr char kUsageLine2[] = "          [-Help] [-?] [-Version]\n";
// --help: every option on standard output, no line wider than 79 columns. A new option adds
// its line here.
constexpr char kHelpText[] =
    "Usage: pilvorne [-PortNo[=1778]] [-Help] [-?] [-Version]\n"
    "       pilvorne [-PortNo=n] [-Explain | -Json] [-IPv6] [-Count=N] [-Timeout=S]\n"
    "                [-Mac=MAC] [-Summary]\n"
    "       pilvorne -Any [-Interface=NAME] [-Explain | -Json] [-Count=N]\n"
    "                [-Timeout=S] [-Mac=MAC] [-Summary]\n"
    "       pilvorne -Read=FILE [-Explain | -Json] [-Count=N] [-Mac=MAC] [-Summary]\n"
    "       pilvorne -Check [-Interface=NAME] [-Json]\n"
    "       pilvorne -Enable -Interface=NAME [-Json]\n"
    "       pilvorne -NewKey=FILE\n"
    "       pilvorne -Relay -Key=FILE [-PortNo=n] [-Hosts=FILE] [-Interface=NAME]\n"
    "                [-Ether] [-Json] [-Count=N] [-Timeout=S] [-Summary]\n"
    "       pilvorne --help | --version\n"
    "\n"
    "pilvorne listens on UDP port 1778 on all local addresses and prints two lines\n"
    "for every datagram: the time, the kind of wake packet, the MAC it carries, the\n"
    "sender and the length.\n"
    "\n"
    "  -PortNo=n          listen on UDP port n instead of 1778\n"
    "  -Help, -?          the two usage lines, on standard error (exit status 1)\n"
    "  -Version           print the version line, then listen\n"
    "  -Explain           a third line: what the payload is and how it arrived\n"
    "  -Json              one JSON object per datagram instead of the two lines\n"
    "  -IPv6              a dual-stack socket: wakes sent over IPv6 arrive too\n"
    "  -Count=N           end after N datagrams kept\n"
    "  -Timeout=S         end after S seconds\n"
    "  -Mac=MAC           keep only datagrams whose wake is for MAC\n"
    "  -Summary           counts on standard error at the end\n"
    "  -Any               Linux: capture wakes on every interface, any UDP port and\n"
    "                     EtherType 0x0842 (needs CAP_NET_RAW)\n"
    "  -Interface=NAME    with -Any: capture on NAME only, in promiscuous mode; with\n"
    "                     -Check or -Enable: that card only; with -Relay: wake on\n"
    "                     NAME's subnets only\n"
    "  -Read=FILE         Linux: the same over a pcap or pcapng file\n"
    "  -Check             whether this machine can be woken by magic packet: each\n"
    "                     card's wake settings and what keeps them (exit status 0\n"
    "                     can wake, 5 cannot, 2 cannot tell)\n"
    "  -Enable            Linux: turn magic-packet wake on for the card, then check\n"
    "                     again (needs CAP_NET_ADMIN)\n"
    "  -NewKey=FILE       write a new random relay key into FILE, for its owner only\n"
    "  -Relay             wake what signed requests on UDP port 1779 ask for, on the\n"
    "                     subnet-directed broadcast of each IPv4 interface here; one\n"
    "                     line per request, a signed answer to each one relayed\n"
    "  -Key=FILE          with -Relay: the keys requests are signed with\n"
    "  -Hosts=FILE        with -Relay: wake only the MACs this hosts file names\n"
    "  -Ether             with -Relay, Linux: the EtherType 0x0842 frame too where\n"
    "                     a request asks for it (needs CAP_NET_RAW)\n"
    "  --help             this text\n"
    "  --version          the version line, without listening\n"
    "\n"
    "Options start with '-' or '/' and ignore case. With -Count, -Timeout or -Read\n"
    "the exit status is 0 when a wake was kept (with -Relay: relayed) and 4 when\n"
    "none was; 2 when -Any or -Read cannot capture or read.\n";
constexpr char kBindFailedFormat[] = "Binding socket failed! Error: %d";
constexpr char kListeningFormat[] = "Listening for magic packets on port no %d\n";
constexpr char kDatagramFormat[] =
    "%s \n   %-28.28s - %02X:%02X:%02X:%02X:%02X:%02X from %s (len=%d)\n";
constexpr char kTimeStampFormat[] = "%s %02d:%02d:%02d";
constexpr char kWriteFailedFormat[] = "pilvorne: cannot write its output: %s\n";
// Why, when the output was still blocked as the run's time ended.
constexpr char kOutputStayedBlocked[] = "nothing took it in time";

// Kind labels, chosen by the datagram's exact length.
constexpr char kLabelShortUnsuspend[] = "short unsuspend   ";
constexpr char kLabelShortUnsuspendHdr[] = "short unsuspend(hdr)";
constexpr char kLabelBroadcastMagic[] = "broadcast magic packet";
constexpr char kLabelDirectMagic[] = "direct magic packet";
constexpr char kLabelBroadcastMagicHdr[] = "broadcast magic packet(hdr)";
constexpr char kLabelDirectMagicHdr[] = "direct magic packet(hdr)";
constexpr char kLabelUnknown[] = "Not a QE magic pkt";

}  // namespace listener

// The inspector's texts. The entry's second line of a capture ends with the way the wake came.
constexpr char kViaUdpFormat[] = " udp port %d";
constexpr char kViaEtherType[] = " ethertype 0x0842";
constexpr char kViaUdpFragment[] = " udp fragment";   // a fragment after the first has no ports
// The first line of a frame whose capture time no calendar date of years 0001-9999 can show.
constexpr char kTimeStampUnknown[] = "(capture time out of range)";

// -Explain: the third line, what the payload is and how it arrived.
constexpr char kExplainValidFormat[] = "   magic packet for %s, sync at byte %zu, all 16 copies equal";
constexpr char kExplainBrokenFormat[] = "   broken magic packet for %s, sync at byte %zu:";
constexpr char kExplainBadCopyFormat[] = " copy %d of 16 is %s";
constexpr char kExplainEndsAfterFormat[] = "%s the payload ends after copy %d of 16";
constexpr char kExplainNoCopyFormat[] = "   broken magic packet, sync at byte %zu: the payload ends after it";
constexpr char kExplainShortFormat[] = "   short unsuspend for %s, sync at byte %zu";
constexpr char kExplainNotWake[] = "   not a wake packet: no sync stream";
constexpr char kExplainPasswordFormat[] = ", SecureOn password %s";
constexpr char kExplainTrailingFormat[] = ", %zu more bytes";
constexpr char kExplainHeaderFormat[] = "; header %s, length field %lu %s";
constexpr char kExplainLengthMatches[] = "matches";
constexpr char kExplainLengthDiffers[] = "does not match";
constexpr char kExplainSequenceFormat[] = ", sequence number %lu";
constexpr char kExplainFragmentFormat[] = "; IPv%d fragment at byte %d of its datagram";
constexpr char kExplainUdpLengthFormat[] = "; the UDP length field says %d bytes, the packet holds %d";
constexpr char kExplainToFormat[] = "; to %s (%s)";
constexpr char kExplainToKindFormat[] = "; to an address not shown (%s)";
constexpr char kExplainToUnknown[] = "; destination not known";
constexpr char kExplainInterfacePrefix[] = " on ";
constexpr char kExplainVlanFormat[] = " vlan %d";

// Destination kinds, as -Explain and -Json name them.
constexpr char kToUnicast[] = "unicast";
constexpr char kToSubnetBroadcast[] = "subnet-broadcast";
constexpr char kToLimitedBroadcast[] = "limited-broadcast";
constexpr char kToMulticast[] = "multicast";
constexpr char kViaUdpName[] = "udp";
constexpr char kViaEtherTypeName[] = "ethertype-0x0842";

// -Json: the time, ISO 8601 local time with milliseconds and the offset from UTC.
constexpr char kJsonTimeFormat[] = "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d";

// The capture modes.
constexpr char kCapturingAll[] = "Listening for wake packets on all interfaces\n";
constexpr char kCapturingOnFormat[] = "Listening for wake packets on %s\n";
constexpr char kNeedsCapNetRaw[] =
    "pilvorne: -Any needs the CAP_NET_RAW capability: run it as root, or give it the capability "
    "with setcap cap_net_raw+ep\n";
constexpr char kNeedsLinuxBuild[] = "pilvorne: -Any and -Read need the Linux build of pilvorne\n";
constexpr char kNeedsLibpcapFormat[] = "pilvorne: -Any and -Read need libpcap (Debian: libpcap0.8): %s\n";
constexpr char kCaptureFailedFormat[] = "pilvorne: cannot capture: %s\n";
constexpr char kReadFailedFormat[] = "pilvorne: cannot read %s: %s\n";
constexpr char kLinkTypeRefusedFormat[] =
    "link type %d%s%s%s is not one pilvorne reads (it reads Ethernet, Linux cooked, raw IP and loopback frames)";

// -Summary, on standard error at the end.
constexpr char kSummaryFormat[] = "Summary: %llu datagrams seen, %llu shown, %llu valid wakes\n";
constexpr char kSummaryPairFormat[] = "  from %s for %s: valid wakes %llu";
constexpr char kSummarySequenceFormat[] = "; sequence numbers up to %lu: %llu missing";
constexpr char kSummaryMissingFirst[] = " (";
constexpr char kSummaryMissingNext[] = ", ";
constexpr char kSummaryMissingOneFormat[] = "%lu";
constexpr char kSummaryMissingRangeFormat[] = "%lu-%lu";
constexpr char kSummaryMissingMore[] = ", ...";
constexpr char kSummaryMissingEnd[] = ")";
constexpr char kSummaryRepeatsFormat[] = ", %llu repeated, %llu out of order";
constexpr char kSummaryUntrackedFormat[] = ", %llu more not tracked (too many gaps)";
constexpr char kSummaryOnlyUntrackedFormat[] = "; %llu sequence numbers not tracked (too many gaps)";
constexpr char kSummaryOtherPairsFormat[] = "  %llu datagrams of further senders and targets\n";
constexpr char kSummaryDropsFormat[] = "  dropped by the kernel for a full receive queue: %lu\n";
constexpr char kSummaryDropsUnknown[] = "  dropped by the kernel for a full receive queue: not known\n";
