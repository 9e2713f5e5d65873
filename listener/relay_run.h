// pilvorne -Relay: the relay's run, from its key file to the last request.
#pragma once

#include <cstddef>

#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/relay_check.h"

namespace listener {

// What became of one request, as its line tells it.
struct RelayLineFacts {
  const char* time_stamp;            // the text form's; -Json takes `time_json`
  const char* time_json;             // ISO 8601 with milliseconds and offset
  const platform::IpAddress* from;
  int from_port;
  RelayRefusal refusal;
  const std::uint8_t* mac;           // nullptr: the request could not be read that far
  const char* not_sent;              // it passed, but nothing went out: why; nullptr otherwise
  const char* relayed_to;            // it went out: where (wake::FormatRelayedTo)
  int datagrams;
  int ack_error;                     // the answer could not be sent: why (Winsock code; -1 not signed)
};

// The request's one line, text or JSON object.
void AppendRelayLine(TextLine* line, const RelayLineFacts& facts, bool json);

// Relays requests on the relay's port until -Count or -Timeout ends the run, a stop request
// comes or a receive fails. Returns the exit code.
int RunRelay(const ListenerCommandLine& line);

}  // namespace listener
