// Fake ICMP echo service: answers from a script and moves the fake clock by each round trip.
#include "tests/fakes/fake_echo.h"

#include <cstring>

#include "platform/echo.h"
#include "platform/system.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_sleep.h"

namespace {
std::vector<fake_echo::Outcome> g_script;
std::size_t g_next = 0;
std::vector<fake_echo::Request> g_requests;
bool g_fail_open = false;
int g_opened = 0;
int g_closed = 0;
int g_handle_storage = 0;

}  // namespace

namespace fake_echo {

void reset() {
  g_script.clear();
  g_next = 0;
  g_requests.clear();
  g_fail_open = false;
  g_opened = 0;
  g_closed = 0;
}

void script(const std::vector<Outcome>& outcomes) {
  g_script = outcomes;
  g_next = 0;
}

void fail_open(bool fail) { g_fail_open = fail; }

const std::vector<Request>& requests() { return g_requests; }

int opened() { return g_opened; }

int closed() { return g_closed; }

}  // namespace fake_echo

namespace platform {

EchoHandle echo_open() {
  if (g_fail_open) {
    set_last_error(12);
    return nullptr;
  }
  ++g_opened;
  return &g_handle_storage;
}

unsigned long echo_send(EchoHandle handle, std::uint32_t address, const void* payload,
                        std::uint16_t size, void* reply, unsigned long reply_size,
                        unsigned long timeout_ms) {
  fake_echo::Request request;
  request.address = address;
  const std::uint8_t* bytes = static_cast<const std::uint8_t*>(payload);
  request.payload.assign(bytes, bytes + size);
  request.reply_size = reply_size;
  request.timeout_ms = timeout_ms;
  request.pauses_before = fake_sleep::pauses();
  g_requests.push_back(request);
  if (handle != &g_handle_storage) {
    set_last_error(6);
    return 0;
  }
  fake_echo::Outcome outcome{false, kEchoTimedOut, timeout_ms * 1000ULL};
  if (g_next < g_script.size()) outcome = g_script[g_next++];
  fake_clock::advance(outcome.round_trip_us * fake_clock::frequency() / 1000000ULL);
  if (!outcome.answered) {
    set_last_error(outcome.error);
    return 0;
  }
  // Writes across the whole reply buffer, so a buffer that is too small shows under ASan.
  std::memset(reply, 0xA5, reply_size);
  return 1;
}

bool echo_close(EchoHandle handle) {
  if (handle != &g_handle_storage) return false;
  ++g_closed;
  return true;
}

}  // namespace platform
