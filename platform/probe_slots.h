// The bookkeeping both probe services share: a fixed room of slots, free, in flight or settled, and the hand-out of settled results.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "platform/probes.h"

namespace platform {

enum class SlotState : std::uint8_t { kFree, kFlight, kSettled };

struct ProbeSlots {
  SlotState* states;
  std::uint64_t* deadlines_ms;  // when a probe in flight is given up, on the service's clock
  ProbeResult* results;    // a settled slot's result; the token from the start on
  int* free_slots;         // a stack of free slot numbers
  int room;
  int free_count;
  int settled_count;
};

inline void probe_slots_release_memory(ProbeSlots* slots) {
  std::free(slots->states);
  std::free(slots->deadlines_ms);
  std::free(slots->results);
  std::free(slots->free_slots);
  slots->states = nullptr;
  slots->deadlines_ms = nullptr;
  slots->results = nullptr;
  slots->free_slots = nullptr;
}

// False when the memory cannot be had (nothing is left allocated then).
inline bool probe_slots_open(ProbeSlots* slots, int room) {
  const std::size_t count = static_cast<std::size_t>(room);
  slots->states = static_cast<SlotState*>(std::calloc(count, sizeof(SlotState)));
  slots->deadlines_ms = static_cast<std::uint64_t*>(std::calloc(count, sizeof(std::uint64_t)));
  slots->results = static_cast<ProbeResult*>(std::calloc(count, sizeof(ProbeResult)));
  slots->free_slots = static_cast<int*>(std::calloc(count, sizeof(int)));
  if (slots->states == nullptr || slots->deadlines_ms == nullptr || slots->results == nullptr ||
      slots->free_slots == nullptr) {
    probe_slots_release_memory(slots);
    return false;
  }
  slots->room = room;
  for (int i = 0; i < room; ++i) slots->free_slots[i] = room - 1 - i;
  slots->free_count = room;
  slots->settled_count = 0;
  return true;
}

// A free slot, now in flight for `token` until `deadline_ms`; -1 when there is no room.
inline int probe_slot_take(ProbeSlots* slots, std::uint32_t token, std::uint64_t deadline_ms) {
  if (slots->free_count == 0) return -1;
  const int index = slots->free_slots[--slots->free_count];
  slots->states[index] = SlotState::kFlight;
  slots->deadlines_ms[index] = deadline_ms;
  slots->results[index] = ProbeResult{token, ProbeOutcome::kNoAnswer, 0, 0};
  return index;
}

// Gives a slot back that never became a probe.
inline void probe_slot_release(ProbeSlots* slots, int index) {
  slots->states[index] = SlotState::kFree;
  slots->free_slots[slots->free_count++] = index;
}

inline void probe_slot_settle(ProbeSlots* slots, int index, ProbeOutcome outcome, unsigned long status,
                              std::uint32_t from) {
  slots->states[index] = SlotState::kSettled;
  slots->results[index].outcome = outcome;
  slots->results[index].status = status;
  slots->results[index].from = from;
  ++slots->settled_count;
}

inline bool probe_slot_in_flight(const ProbeSlots& slots, int index) {
  return slots.states[index] == SlotState::kFlight;
}

// A probe in flight whose deadline has come.
inline bool probe_slot_overdue(const ProbeSlots& slots, int index, std::uint64_t now_ms) {
  return slots.states[index] == SlotState::kFlight && slots.deadlines_ms[index] <= now_ms;
}

// How long a wait may last: `timeout_ms` (negative: without limit), shortened to the first
// deadline of a probe in flight; 0 while settled results wait to be handed out.
inline int probe_slots_wait_ms(const ProbeSlots& slots, std::uint64_t now_ms, int timeout_ms) {
  if (slots.settled_count > 0) return 0;
  int limit = timeout_ms;
  for (int i = 0; i < slots.room; ++i) {
    if (slots.states[i] != SlotState::kFlight) continue;
    const std::uint64_t deadline = slots.deadlines_ms[i];
    const std::uint64_t until = deadline > now_ms ? deadline - now_ms : 0;
    if (limit < 0 || until < static_cast<std::uint64_t>(limit)) limit = static_cast<int>(until);
  }
  return limit;
}

// Writes up to `room` settled results and frees their slots; returns how many.
inline int probe_slots_collect(ProbeSlots* slots, ProbeResult* results, int room) {
  int written = 0;
  for (int i = 0; i < slots->room && written < room && slots->settled_count > 0; ++i) {
    if (slots->states[i] != SlotState::kSettled) continue;
    results[written++] = slots->results[i];
    --slots->settled_count;
    probe_slot_release(slots, i);
  }
  return written;
}

inline int probe_slots_in_use(const ProbeSlots& slots) { return slots.room - slots.free_count; }

}  // namespace platform
