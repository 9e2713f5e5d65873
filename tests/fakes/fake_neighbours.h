// Test control of the fake neighbour (ARP) table.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/neighbours.h"

namespace fake_neighbours {

// Empty table, reads succeed, count 0.
void reset();
// The table the next reads give, already in the platform's order.
void set_rows(const std::vector<platform::NeighbourRow>& rows);
// Makes the reads fail.
void fail_reads(bool fail);
// Number of reads so far.
int reads();

// An IPv4 address from its four bytes, in network byte order, as the rows hold it.
std::uint32_t ipv4(int a, int b, int c, int d);
// A dynamic row of interface 2: `address` holds `mac`.
platform::NeighbourRow dynamic_row(std::uint32_t address, const std::uint8_t mac[6]);

}  // namespace fake_neighbours
