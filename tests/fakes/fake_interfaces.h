// A fake interface list for tests: the records the netmask query sees, set by the test.
#pragma once

#include "platform/interfaces.h"

// Makes query_interfaces return these records (copied, at most 16), or fail with -1.
void fake_interfaces_set(const platform::InterfaceRecord* records, int count);
void fake_interfaces_fail();

// An IPv4 record of the list: its name, flags, address and mask in host order, and index.
platform::InterfaceRecord fake_ipv4_record(const char* name, std::uint32_t flags, std::uint32_t address,
                                           std::uint32_t mask, unsigned index);

// How many queries were made.
int fake_interfaces_queries();
