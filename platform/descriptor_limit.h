// The number of descriptors this process may open. Discovery keeps one UDP socket
// per address of each small local subnet: two /23 subnets alone are 1024 sockets,
// the stock soft limit of Linux, so the launcher raises its soft limit to the hard
// limit at start-up, as far as the system lets it.
#pragma once

namespace platform {

// Raises the soft limit on open descriptors to the hard limit. False when the
// limits cannot be read or changed; the old limit then stays.
bool RaiseDescriptorLimit();

// The current soft limit; -1 when it cannot be read. Unlimited reads as a large value.
long DescriptorSoftLimit();

// Sets the soft limit (within the hard one); for tests that start from the stock limit.
bool SetDescriptorSoftLimit(long limit);

}  // namespace platform
