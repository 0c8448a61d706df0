#pragma once

#include <string>
#include <vector>

// tidewatcher discover [--seconds S] [--json]
int RunDiscoverCommand(const std::vector<std::string>& words);
