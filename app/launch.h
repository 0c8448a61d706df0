// Helpers of the launch sequence that need no dialog.
#pragma once

#include <cstdint>
#include <string>

// An address typed as the System Name: "host:port" (the host looked up by name
// first) or a dotted address, port 80 unless given. `text` is cut at the ":".
// False when no address results (0).
bool ParseHostAddress(std::string& text, uint32_t* address, uint16_t* port);

// "quorvex:12-34-56", "123456", "  12-3456" all become "Quorvex: 12-34-56".
std::string NormalizeSystemName(const std::string& name);

// The desktop is at most 600 pixels high. Never headless.
bool IsSmallScreen();

// The versions at which the launch changes its ways.
constexpr char kOldestSupportedVersion[] = "4.0.488.0";
constexpr char kKeepConnectionVersion[] = "4.0.623.0";
constexpr char kSocketFileVersion[] = "4.0.1059.0";

// How long the launcher waits for a started client to fetch its socket.
constexpr int kHandoverWaitMs = 10000;
