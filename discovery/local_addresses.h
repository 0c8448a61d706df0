// The machine's IPv4 addresses with their masks, one row per configured address,
// loopback included, as discovery and the IP configuration walk them. Every call
// reads the table afresh (tests and TIDEWATCHER_SUBNETS replace it; see
// platform/network_tables.h).
#pragma once

#include <cstdint>

// The number of rows; 0 when the table cannot be read.
int GetLocalAddressCount();

// The row's subnet mask and address, both in network byte order. False when the
// table cannot be read or the index is not one of its rows.
bool GetLocalAddress(int index, uint32_t* mask, uint32_t* address);

// Network byte order (first number of the dotted form first in memory) to a host
// value whose top byte is that first number, and back.
uint32_t HostOrderFromNetwork(uint32_t networkOrder);
uint32_t NetworkOrderFromHost(uint32_t hostOrder);
