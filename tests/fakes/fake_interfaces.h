// A fake interface list for tests: the records the netmask query sees, set by the test.
#pragma once

#include "platform/interfaces.h"

// Makes query_interface_list return these records (copied, at most 16), or fail with -1;
// interface_index finds the records' names.
void fake_interfaces_set(const platform::InterfaceRecord* records, int count);
void fake_interfaces_fail();

// The room the last query offered, and how many queries were made.
int fake_interfaces_last_room();
int fake_interfaces_queries();
