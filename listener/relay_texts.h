// Every text of pilvorne's relay and of its keys, in one place.
#pragma once

namespace listener {

// A refused request's reason, by listener::RelayRefusal.
constexpr const char* kRelayRefusalTexts[] = {
    "relayed",
    "wrong length",
    "not a relay request",
    "unknown version",
    "malformed request",
    "unknown key identifier",
    "bad signature",
    "time more than 60 s from the relay's clock",
    "replayed nonce",
    "too many recent requests to remember",
    "MAC not in the hosts file",
    "rate limit for the MAC",
    "rate limit of the relay",
};

// -NewKey=FILE.
constexpr char kNewKeyWrittenFormat[] = "New relay key %s written to %s\n";
constexpr char kNewKeyExistsFormat[] = "pilvorne: %s exists already; a key file is never overwritten\n";
constexpr char kNewKeyFailedFormat[] = "pilvorne: cannot write the key file %s: %s\n";
constexpr char kNoRandom[] = "pilvorne: the system's random generator gave no bytes for a key\n";

// -Relay: the start-up line, and one line per request: the time stamp, the sender, the MAC
// when the request could be read, then the outcome.
constexpr char kRelayListeningFormat[] = "Relaying signed wake requests on port no %d\n";
constexpr char kRelayLineFormat[] = "%s relay request from %s port %d";
constexpr char kRelayForFormat[] = " for %s";
constexpr char kRelayRelayedFormat[] = ": relayed to %s";   // then the line end, or:
constexpr char kRelayAckFailedFormat[] = "; the acknowledgement was not sent (error %d)";
constexpr char kRelayLineEnd[] = "\n";
constexpr char kRelayRefusedFormat[] = ": refused, %s\n";
constexpr char kRelayNotSentFormat[] = ": not sent, %s\n";
constexpr char kRelayNoSubnet[] = "no up, broadcast-capable IPv4 interface to wake on";
constexpr char kRelayFramesOff[] = "only the 0x0842 frame was asked for and -Ether is not given";
constexpr char kRelaySendFailedFormat[] = "every send failed (error %d)";
// -Json: the outcome's name.
constexpr char kRelayOutcomeRelayed[] = "relayed";
constexpr char kRelayOutcomeRefused[] = "refused";
constexpr char kRelayOutcomeNotSent[] = "not sent";

// Start-up refusals, one line each, before the port is opened.
constexpr char kRelayBadHostLineFormat[] = "pilvorne: %s:%d: %s: %s\n";
constexpr char kRelayHostsFormat[] = "pilvorne: -Hosts=%s: %s\n";
constexpr char kRelayHostsNone[] = "names no host";
constexpr char kRelayNoInterfaceFormat[] = "pilvorne: -Interface=%s: no up, broadcast-capable IPv4 interface has that name\n";
constexpr char kRelayInterfacesFailed[] = "pilvorne: the interface list cannot be read\n";
constexpr char kRelayEtherNoPermission[] =
    "pilvorne: -Ether needs the CAP_NET_RAW capability to send raw Ethernet frames: run it as root, or grant it "
    "with setcap cap_net_raw+ep\n";
constexpr char kRelayEtherUnsupported[] =
    "pilvorne: -Ether needs the Linux build of pilvorne: Windows lets no program send raw Ethernet frames\n";
constexpr char kRelayEtherFailedFormat[] = "pilvorne: -Ether: the frame socket cannot be opened (error %d)\n";
constexpr char kRelayNoMemory[] = "pilvorne: no memory for the relay's records\n";

// -Summary: the requests by outcome, on standard error at the end.
constexpr char kRelaySummaryFormat[] = "%llu relay requests: %llu relayed\n";
constexpr char kRelaySummaryRefusalFormat[] = "  %llu refused, %s\n";

}  // namespace listener
