#pragma once

#include <string>
#include <vector>

// tidewatcher launch [--configure] [--password P] [--remember | --no-remember]
//                    [--select NAME] [--discover-seconds S] [SYSTEM]
int RunLaunchCommand(const std::vector<std::string>& words);
