#pragma once

#include <string>
#include <vector>

// tidewatcher ipconfig (NAME | ADDRESS) [--set IP MASK GATEWAY DNS | --dhcp]
//                      [--discover-seconds S]
int RunIpconfigCommand(const std::vector<std::string>& words);
