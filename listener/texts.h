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
constexpr char kAddressFormat[] = "%d.%d.%d.%d";


// Kind labels, chosen by the datagram's exact length.
constexpr char kLabelShortUnsuspend[] = "short unsuspend   ";
constexpr char kLabelShortUnsuspendHdr[] = "short unsuspend(hdr)";
constexpr char kLabelBroadcastMagic[] = "broadcast magic packet";
constexpr char kLabelDirectMagic[] = "direct magic packet";
constexpr char kLabelBroadcastMagicHdr[] = "broadcast magic packet(hdr)";
constexpr char kLabelDirectMagicHdr[] = "direct magic packet(hdr)";
constexpr char kLabelUnknown[] = "Not a QE magic pkt";

}  // namespace listener
