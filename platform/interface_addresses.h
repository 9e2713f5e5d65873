// The local interfaces with their index, name and addresses, to tell how a datagram arrived.
#pragma once

#include "platform/arrival.h"
#include "platform/interfaces.h"   // kInterfaceNameRoom

namespace platform {

// One address of one interface. An interface without any address has one record whose
// address family is 0, so that every interface's name can be found by its index.
struct InterfaceAddress {
  unsigned index;                    // the interface index the receive call reports
  char name[kInterfaceNameRoom];     // UTF-8
  IpAddress address;
  int prefix_length;                 // of the address's subnet; 0 when not known
};

// Fills at most `room` records in the platform's order. Returns the number filled, or -1
// when the query fails (last error set).
int query_interface_addresses(InterfaceAddress* records, int room);

}  // namespace platform
