// LOGIN.DAT, beside the launcher: the last system name and password (in plain
// text) and a few settings of the main dialog, rewritten at every launch.
//
// Layout, integers 32-bit little-endian, texts as CZkFile writes them:
//   1 systemName       text      empty when not remembering
//   2 password         text      empty when not remembering
//   3 wasLocal         integer   1 for a local target; 0 when not remembering; ignored on reading
//   4 lastAddress      4 bytes   IPv4 in network order (127.0.0.1 is 7F 00 00 01); 0 when not remembering
//   5 optionsExpanded  integer
//   6 rememberLogin    integer   1 or 0
//   7 osdMode          integer   set by nothing but this file, carried over unchanged
//   8 smallScreen      integer
//   9 rememberLogin    integer   again; not read
// 36 bytes plus the lengths of the two texts.
#pragma once

#include <cstdint>
#include <string>

struct LoginRecord {
  std::string systemName;
  std::string password;
  uint32_t lastAddress = 0;  // network byte order
  int optionsExpanded = 0;
  int rememberLogin = 0;
  int osdMode = 0;
  int smallScreen = 0;
};

// GetProgramFolder() + "/LOGIN.DAT".
std::string LoginFilePath();

// Reads fields 1 to 8 into *record. A field that cannot be read leaves its member
// as it was and reading goes on, so a file that ends early keeps the fields before
// the end. False only when the file cannot be opened.
bool ReadLoginRecord(const std::string& path, LoginRecord* record);

// Replaces the file with the record. Without rememberLogin the name, password,
// wasLocal and address go out empty or 0. True when every byte reached the file.
bool WriteLoginRecord(const std::string& path, const LoginRecord& record, bool wasLocal);
