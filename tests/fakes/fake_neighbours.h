// Test control of the fake neighbour (ARP) table.
#pragma once

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

}  // namespace fake_neighbours
