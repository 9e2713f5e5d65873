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

}  // namespace listener
