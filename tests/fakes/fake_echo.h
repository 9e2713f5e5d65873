// Test control of the fake ICMP echo service: scripted outcomes, recorded requests.
#pragma once

#include <cstdint>
#include <vector>

namespace fake_echo {

// What one request yields: a reply after `round_trip_us` microseconds on the fake clock,
// or no reply with `error` as the last error.
struct Outcome {
  bool answered;
  unsigned long error;
  std::uint64_t round_trip_us;
};

// One request as the service saw it.
struct Request {
  std::uint32_t address;
  std::vector<std::uint8_t> payload;
  unsigned long reply_size;
  unsigned long timeout_ms;
  std::vector<unsigned long> pauses_before;  // the pauses asked for before this request
};

// Clears the script and the records; the service opens again.
void reset();
// Outcomes of the coming requests in order; once used up, requests time out.
void script(const std::vector<Outcome>& outcomes);
// Makes echo_open fail.
void fail_open(bool fail);

const std::vector<Request>& requests();
int opened();
int closed();

}  // namespace fake_echo
