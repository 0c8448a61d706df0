// The command line of tidewatcher-sim: every option turned into a SimConfig, so the
// process and a test thread run exactly the same system. Options take their value
// as the next argument or after "=" ("--port 8080", "--port=8080"); texts arrive as
// UTF-8 and are kept as Latin-1, as they travel.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/remote_services.h"
#include "tools/sim/sim_config.h"

// The port the process listens on unless told otherwise: the one the launcher uses
// for a system whose port it does not know.
constexpr uint16_t kDefaultSimPort = 80;

struct SimOptions {
  SimConfig config;
  SimRemoteOptions remote;
  bool log = false;
  bool help = false;
  bool version = false;
};

// Reads argv[1..]. False with a one-line error when an option is unknown, lacks its
// value or has a value out of range.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions* options, std::string* error);

// The --help text.
std::string SimUsage();
