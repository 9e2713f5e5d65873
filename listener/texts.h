// Every text pilvorne prints, in one place.
#pragma once

namespace listener {

constexpr char kProgramName[] = "pilvorne";     // first word of the version line
constexpr char kBuildDate[] = "(May 12 2005)";  // build date in parentheses
constexpr char kVersionLineFormat[] = "%s %s %s\n";
constexpr char kSyntaxErrorFormat[] = "Syntax error near %s\n";
constexpr char kUsageLine1[] = "pilvorne  [-PortNo[=1778]]\n";
constexpr char kUsageLine2[] = "          [-Help] [-?] [-Version]\n";
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
