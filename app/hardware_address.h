// The computer's hardware address as the local login sends it: the first network
// adapter's six bytes as "00-1A-2B-3C-4D-5E". Without an adapter there is simply
// no address, and nothing is reported.
#pragma once

#include <string>

#include "platform/network_tables.h"

// "%02X-%02X-%02X-%02X-%02X-%02X" of the six bytes.
std::string FormatHardwareAddress(const platform::HardwareAddress& address);

// The text of the first adapter of CurrentNetworkTables(). False, *text
// untouched, when the table cannot be read or holds no adapter.
bool FirstAdapterAddressText(std::string* text);
