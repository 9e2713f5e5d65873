// Test control of the fake host-name lookup.
#pragma once

#include <cstdint>
#include <string>

namespace fake_host {

// Forgets every name; lookups then fail.
void reset();
// Makes `name` resolve to `address` (network byte order).
void add(const std::string& name, std::uint32_t address);

}  // namespace fake_host
