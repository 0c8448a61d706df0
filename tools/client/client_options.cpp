#include "tools/client/client_options.h"

#include <cctype>

#include "platform/text_encoding.h"

namespace {

constexpr size_t kOptionValueLimit = 256;

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The launcher's own way of reading an option out of a whole command line.
bool FindInLine(const std::string& line, const std::string& option, std::string* value) {
  const size_t at = line.find(option);
  if (at == std::string::npos) return false;
  const size_t start = at + option.size();
  size_t end = line.find('/', start);
  if (end == std::string::npos) end = line.size();
  if (end - start > kOptionValueLimit) end = start + kOptionValueLimit;
  while (end > start && line[end - 1] == ' ') --end;
  *value = line.substr(start, end - start);
  return true;
}

// One option per argument: the value is the rest of the first argument that
// begins with the option, slashes and spaces included.
bool FindInWords(const std::vector<std::string>& words, const std::string& option, std::string* value) {
  for (const std::string& word : words) {
    if (word.compare(0, option.size(), option) == 0) {
      *value = word.substr(option.size());
      return true;
    }
  }
  return false;
}

bool ParseDescriptorNumber(const std::string& text, int* number) {
  if (text.empty() || text.size() > 9) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *number = value;
  return true;
}

}  // namespace

ClientProgram ProgramFromPath(const std::string& argv0) {
  const size_t slash = argv0.rfind('/');
  const std::string name = slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
  if (EqualsIgnoringCase(name, "VEDUVUZI.EXE")) return ClientProgram::kConfigurator;
  if (EqualsIgnoringCase(name, "VUZUZ.EXE")) return ClientProgram::kAlternativeViewer;
  return ClientProgram::kViewer;
}

const char* ProgramLabel(ClientProgram program) {
  return program == ClientProgram::kConfigurator ? "configurator" : "viewer";
}

bool HoldsViewerMutex(ClientProgram program) { return program != ClientProgram::kConfigurator; }

bool ParseClientOptions(const std::vector<std::string>& arguments, ClientOptions* options, std::string* error) {
  *options = ClientOptions();
  std::vector<std::string> words;
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") options->help = true;
    if (argument == "--version") options->version = true;
    words.push_back(platform::Utf8ToLatin1(argument));
  }
  if (options->help || options->version) return true;

  // A single argument holding spaces is a whole command line handed over as one.
  const bool wholeLine = words.size() == 1 && words[0].find(' ') != std::string::npos;
  auto find = [&](const char* option, std::string* value) {
    return wholeLine ? FindInLine(words[0], option, value) : FindInWords(words, option, value);
  };
  find("/USER:", &options->user);
  find("/PASS:", &options->password);
  find("/TITLE:", &options->title);
  std::string socketText;
  options->hasSocket = find("/SOCKET:", &socketText);
  options->hasSocketFile = find("/SOCKFILE:", &options->socketFile);

  if (options->hasSocket == options->hasSocketFile) {
    *error = options->hasSocket ? "give either /SOCKET:<n> or /SOCKFILE:<name>, not both"
                                : "no socket to take: start me with /SOCKET:<n> or /SOCKFILE:<name>";
    return false;
  }
  if (options->hasSocket && !ParseDescriptorNumber(socketText, &options->socketNumber)) {
    *error = "/SOCKET: needs a descriptor number, not \"" + platform::Latin1ToUtf8(socketText) + "\"";
    return false;
  }
  if (options->hasSocketFile && options->socketFile.empty()) {
    *error = "/SOCKFILE: needs the name of the launcher's endpoint";
    return false;
  }
  return true;
}
