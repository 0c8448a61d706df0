// The client's command line. The launcher starts a client with one argument per
// option: "/R", "/USER:<system name>", "/PASS:<password>", "/SOCKET:<n>" or
// "/SOCKFILE:<name>", "/TITLE:<title>". A launcher that hands over a command line
// instead gives it all as one argument; then each option is found the way the
// launcher finds its own: the first occurrence anywhere in the line, its value
// running to the next "/" with trailing spaces dropped. Words we do not know are
// ignored. Values arrive as UTF-8 and are kept as single-byte text.
#pragma once

#include <string>
#include <vector>

enum class ClientProgram {
  kViewer,             // CLEARSLATE.EXE, and any other name
  kConfigurator,       // VEDUVUZI.EXE
  kAlternativeViewer,  // VUZUZ.EXE
};

struct ClientOptions {
  bool help = false;
  bool version = false;
  std::string user;
  std::string password;
  std::string title;
  bool hasSocket = false;
  int socketNumber = -1;
  bool hasSocketFile = false;
  std::string socketFile;
};

// Which client this copy plays, from the file name it was started under (any
// letter case; the folder does not matter).
ClientProgram ProgramFromPath(const std::string& argv0);
// "viewer" or "configurator".
const char* ProgramLabel(ClientProgram program);
// Both viewers hold "ClearslateMutex" while they run.
bool HoldsViewerMutex(ClientProgram program);

// `arguments` are argv[1..]. False with *error set when the line names no socket
// we can use: neither "/SOCKET:" nor "/SOCKFILE:", both, or a socket number that
// is not a number. --help and --version succeed whatever else is there.
bool ParseClientOptions(const std::vector<std::string>& arguments, ClientOptions* options, std::string* error);
