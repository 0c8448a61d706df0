#include "tools/sim/sim_options.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/socket.h"
#include "platform/text_encoding.h"

namespace {

// The repeatable list options replace the defaults on their first use.
struct ParseState {
  SimOptions& options;
  bool customNamesGiven = false;
  bool namedValuesGiven = false;
  bool entriesGiven = false;
};

using Apply = bool (*)(ParseState& state, const std::string& value);

struct OptionDef {
  const char* name;
  const char* valueName;  // null for a flag
  const char* help;
  Apply apply;
};

template <typename T>
bool ParseNumber(const std::string& text, int64_t low, int64_t high, T* out) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || value < low || value > high) return false;
  *out = static_cast<T>(value);
  return true;
}

bool ParseCodes(const std::string& text, CodeSet* set) {
  if (text == "all") {
    set->all = true;
    return true;
  }
  uint16_t code = 0;
  if (!ParseNumber(text, 0, 0xFFFF, &code)) return false;
  set->codes.insert(code);
  return true;
}

bool ParseByteArraySizes(const std::string& text, SimConfig* config) {
  std::array<std::vector<uint8_t>, 10> arrays;
  size_t count = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    size_t size = 0;
    if (count == arrays.size() || !ParseNumber(text.substr(start, comma - start), 0, 1000, &size)) return false;
    arrays[count] = SimConfig::ByteArray(count, size);
    ++count;
    start = comma + 1;
  }
  config->byteArrays = arrays;
  return true;
}

bool ParseDiscoveryFault(const std::string& text, DiscoveryFault* fault) {
  static const struct {
    const char* name;
    DiscoveryFault fault;
  } kFaults[] = {{"wrong-length-39", DiscoveryFault::kWrongLength39},
                 {"wrong-length-41", DiscoveryFault::kWrongLength41},
                 {"empty", DiscoveryFault::kEmpty},
                 {"type5", DiscoveryFault::kType5},
                 {"full-name", DiscoveryFault::kFullName}};
  for (const auto& known : kFaults) {
    if (text == known.name) {
      *fault = known.fault;
      return true;
    }
  }
  return false;
}

bool ParseNamedValue(const std::string& text, SimNamedValue* named) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  named->name = platform::Utf8ToLatin1(text.substr(equals + 1));
  return ParseNumber(text.substr(0, equals), 0, std::numeric_limits<uint32_t>::max(), &named->value);
}

// An address as the IP record carries it: the first number of the dotted form in
// the top byte.
bool ParseRecordAddress(const std::string& text, uint32_t* value) {
  uint32_t networkOrder = 0;
  if (!platform::ParseDottedQuad(text, &networkOrder)) return false;
  uint8_t dotted[4];
  std::memcpy(dotted, &networkOrder, sizeof dotted);
  *value = 0;
  for (uint8_t number : dotted) *value = *value << 8 | number;
  return true;
}

SimConfig& Config(ParseState& state) { return state.options.config; }
SimFaults& Faults(ParseState& state) { return state.options.config.faults; }
SimDiscovery& Discovery(ParseState& state) { return state.options.config.discovery; }
SimIpConfig& IpConfig(ParseState& state) { return state.options.config.ipConfig; }
std::string Text(const std::string& value) { return platform::Utf8ToLatin1(value); }
SimRemoteOptions& Remote(ParseState& state) { return state.options.remote; }

const OptionDef kOptions[] = {
    {"--bind", "ADDRESS", "listen on this IPv4 address (default 127.0.0.1)",
     [](ParseState& s, const std::string& v) { return platform::ParseDottedQuad(v, &Config(s).bindAddress); }},
    {"--port", "N", "listen on this TCP port, 0 = any free one (default 80)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 65535, &Config(s).port); }},
    {"--name", "TEXT", "system name (default \"Pool Sim\")",
     [](ParseState& s, const std::string& v) { return Config(s).systemName = Text(v), true; }},
    {"--password", "TEXT", "login password (default \"secret\")",
     [](ParseState& s, const std::string& v) { return Config(s).password = Text(v), true; }},
    {"--version-text", "TEXT", "version text (default \"5.2 Build 738.0 Rel\")",
     [](ParseState& s, const std::string& v) { return Config(s).versionText = Text(v), true; }},
    {"--version-value", "N", "version value (default 738)",
     [](ParseState& s, const std::string& v) {
       return ParseNumber(v, INT32_MIN, INT32_MAX, &Config(s).versionValue);
     }},
    {"--challenge", "TEXT", "hand out this challenge instead of a random one",
     [](ParseState& s, const std::string& v) { return Config(s).challenge = Text(v), true; }},
    {"--type-config", "N", "controller type in the configuration answer (default 13)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 255, &Config(s).typeInConfigAnswer); }},
    {"--type-details", "N", "controller type in the details answer (default 13)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 255, &Config(s).typeInDetailsAnswer); }},
    {"--standard-names", "N", "number of standard names \"Standard 0\".. (default 60)",
     [](ParseState& s, const std::string& v) {
       return ParseNumber(v, 0, 100000, &Config(s).standardNameCount);
     }},
    {"--custom-name", "TEXT", "a custom name; repeatable (default \"Pool Light\", \"Spa Light\")",
     [](ParseState& s, const std::string& v) {
       if (!s.customNamesGiven) Config(s).customNames.clear();
       s.customNamesGiven = true;
       Config(s).customNames.push_back(Text(v));
       return true;
     }},
    {"--no-custom-names", nullptr, "no custom names at all",
     [](ParseState& s, const std::string&) {
       s.customNamesGiven = true;
       Config(s).customNames.clear();
       return true;
     }},
    {"--named-value", "N=TEXT", "a named value; repeatable (default 1=Low, 2=High)",
     [](ParseState& s, const std::string& v) {
       SimNamedValue named;
       if (!ParseNamedValue(v, &named)) return false;
       if (!s.namedValuesGiven) Config(s).namedValues.clear();
       s.namedValuesGiven = true;
       Config(s).namedValues.push_back(named);
       return true;
     }},
    {"--entry", "NAMEINDEX", "a configuration entry with this name index; repeatable (default 0, 1, 60, 200)",
     [](ParseState& s, const std::string& v) {
       SimConfigEntry entry;
       if (!ParseNumber(v, 0, 255, &entry.nameIndex)) return false;
       if (!s.entriesGiven) Config(s).entries.clear();
       s.entriesGiven = true;
       entry.number = static_cast<uint32_t>(Config(s).entries.size());
       Config(s).entries.push_back(entry);
       return true;
     }},
    {"--byte-array-sizes", "N,N,...", "sizes (0-1000) of the ten byte arrays (default 1,2,...,10)",
     [](ParseState& s, const std::string& v) { return ParseByteArraySizes(v, &Config(s)); }},
    {"--no-preamble-required", nullptr, "serve connections that do not send the preamble",
     [](ParseState& s, const std::string&) { return Config(s).requirePreamble = false, true; }},
    {"--no-login-required", nullptr, "answer every request without a login",
     [](ParseState& s, const std::string&) { return Config(s).requireLogin = false, true; }},
    {"--silent-on", "CODE|all", "fault: never answer this request code; repeatable",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).silentOn); }},
    {"--wrong-code-on", "CODE|all", "fault: answer with the answer code + 1; repeatable",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).wrongCodeOn); }},
    {"--broadcast-before", "CODE|all", "fault: send a queryId 0x7FFF message before the answer; repeatable",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).broadcastBefore); }},
    {"--other-id-before", "CODE|all", "fault: send an answer for queryId + 1 before the answer; repeatable",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).otherIdBefore); }},
    {"--byte-at-a-time", nullptr, "fault: send every answer one byte at a time",
     [](ParseState& s, const std::string&) { return Faults(s).byteAtATime.all = true, true; }},
    {"--byte-at-a-time-on", "CODE|all", "fault: the same for this request code only; repeatable",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).byteAtATime); }},
    {"--close-mid-message-on", "CODE|all", "fault: send half the answer, then close; repeatable",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).closeMidMessage); }},
    {"--oversize-length-on", "CODE|all", "fault: the answer's length field announces --oversize-value",
     [](ParseState& s, const std::string& v) { return ParseCodes(v, &Faults(s).oversizeLength); }},
    {"--oversize-value", "N", "the length announced by --oversize-length-on (default 1999992)",
     [](ParseState& s, const std::string& v) {
       return ParseNumber(v, INT32_MIN, INT32_MAX, &Faults(s).oversizeValue);
     }},
    {"--short-standard-names-chunk", "N", "fault: the Nth (from 0) standard-names chunk has one name too few",
     [](ParseState& s, const std::string& v) {
       return ParseNumber(v, 0, 100000, &Faults(s).shortStandardNamesChunk);
     }},
    {"--oversize-byte-array", "N", "fault: byte array N (0-9) announces 1001 bytes",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 9, &Faults(s).oversizeByteArrayIndex); }},
    {"--discovery", nullptr, "answer DiscoveryRequests on UDP port 1444 of the bind address (the default)",
     [](ParseState& s, const std::string&) { return Discovery(s).enabled = true, true; }},
    {"--no-discovery", nullptr, "no UDP side at all",
     [](ParseState& s, const std::string&) { return Discovery(s).enabled = false, true; }},
    {"--discovery-name", "TEXT", "name in the discovery answer (default: the system name)",
     [](ParseState& s, const std::string& v) { return Discovery(s).name = Text(v), true; }},
    {"--discovery-port", "N", "TCP port in the discovery answer (default: the port really listened on)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 65535, &Discovery(s).port); }},
    {"--gateway-type", "N", "gateway type in the discovery answer (default 1)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 255, &Discovery(s).gatewayType); }},
    {"--gateway-subtype", "N", "gateway subtype in the discovery answer (default 0)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 255, &Discovery(s).gatewaySubtype); }},
    {"--discovery-also-on", "ADDRESS", "also hear requests sent to this address (a subnet broadcast address)",
     [](ParseState& s, const std::string& v) { return platform::ParseDottedQuad(v, &Discovery(s).alsoHearOn); }},
    {"--discovery-fault", "KIND", "fault: send this instead of the discovery answer: wrong-length-39,\n"
     "wrong-length-41, empty, type5 (gateway type 5) or full-name (28 bytes, no NUL)",
     [](ParseState& s, const std::string& v) { return ParseDiscoveryFault(v, &Discovery(s).fault); }},
    {"--discovery-fault-then-answer", nullptr, "after the faulty datagram, send the proper answer too",
     [](ParseState& s, const std::string&) { return Discovery(s).answerAfterFault = true, true; }},
    {"--adapter-ip", "ADDRESS", "IP address in the adapter's IP configuration (default 0.0.0.0: DHCP)",
     [](ParseState& s, const std::string& v) { return ParseRecordAddress(v, &IpConfig(s).ipAddress); }},
    {"--adapter-mask", "ADDRESS", "subnet mask in the adapter's IP configuration (default 0.0.0.0)",
     [](ParseState& s, const std::string& v) { return ParseRecordAddress(v, &IpConfig(s).subnetMask); }},
    {"--adapter-gateway", "ADDRESS", "default gateway in the adapter's IP configuration (default 0.0.0.0)",
     [](ParseState& s, const std::string& v) { return ParseRecordAddress(v, &IpConfig(s).defaultGateway); }},
    {"--adapter-dns", "ADDRESS", "DNS server in the adapter's IP configuration (default 0.0.0.0)",
     [](ParseState& s, const std::string& v) { return ParseRecordAddress(v, &IpConfig(s).dnsServer); }},
    {"--ipconfig-silent", nullptr, "fault: never answer an IP configuration query (sets still apply)",
     [](ParseState& s, const std::string&) { return IpConfig(s).silent = true, true; }},
    {"--ipconfig-other-adapter", "ADDRESS", "before each IP configuration answer, another adapter answers\n"
     "from this address of this host with a record of its own",
     [](ParseState& s, const std::string& v) { return platform::ParseDottedQuad(v, &IpConfig(s).otherAdapter); }},
    {"--gateway-mutex", nullptr, "hold \"GatewayMutex\" while running, as the gateway program on this computer\n"
     "(which serves at 127.0.0.1 port 80, the defaults of --bind and --port)",
     [](ParseState& s, const std::string&) { return Config(s).holdGatewayMutex = true, true; }},
    {"--discovery-service", "ADDRESS", "run the internet discovery service on this address (TCP port 500);\n"
     "it knows this system, under --name, at its protocol service",
     [](ParseState& s, const std::string& v) {
       Remote(s).discoveryService = true;
       return platform::ParseDottedQuad(v, &Remote(s).discovery.bindAddress);
     }},
    {"--discovery-service-port", "N", "the discovery service's TCP port (default 500)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 65535, &Remote(s).discovery.port); }},
    {"--lookup-address", "TEXT", "address the discovery service gives for this system (default: --bind)",
     [](ParseState& s, const std::string& v) { return Remote(s).lookupAddress = Text(v), true; }},
    {"--lookup-port", "N", "port it gives (default: the port the protocol service listens on)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 65535, &Remote(s).lookupPort); }},
    {"--lookup-public-port-closed", nullptr, "it says the system's public port is closed",
     [](ParseState& s, const std::string&) { return Remote(s).publicPortOpen = 0, true; }},
    {"--lookup-relay", nullptr, "it says the system must be reached through the relay server",
     [](ParseState& s, const std::string&) { return Remote(s).relayMode = 1, true; }},
    {"--lookup-error", "TEXT", "fault: it refuses every lookup with this reason (message 18000)",
     [](ParseState& s, const std::string& v) {
       Remote(s).discovery.reply = LookupReply::kError;
       return Remote(s).discovery.errorText = Text(v), true;
     }},
    {"--lookup-code", "CODE", "fault: it answers every lookup with an empty message of this code",
     [](ParseState& s, const std::string& v) {
       Remote(s).discovery.reply = LookupReply::kCode;
       return ParseNumber(v, 0, 0xFFFF, &Remote(s).discovery.replyCode);
     }},
    {"--lookup-silent", nullptr, "fault: it never answers a lookup",
     [](ParseState& s, const std::string&) { return Remote(s).discovery.reply = LookupReply::kSilent, true; }},
    {"--relay", "ADDRESS", "run the relay server on this address (TCP port 7576); it passes\n"
     "connections for this system through to its protocol service",
     [](ParseState& s, const std::string& v) {
       Remote(s).relay = true;
       return platform::ParseDottedQuad(v, &Remote(s).relayServer.bindAddress);
     }},
    {"--relay-port", "N", "the relay server's TCP port (default 7576)",
     [](ParseState& s, const std::string& v) { return ParseNumber(v, 0, 65535, &Remote(s).relayServer.port); }},
    {"--relay-silent", nullptr, "fault: the relay reads the request and never answers",
     [](ParseState& s, const std::string&) { return Remote(s).relayServer.fault = RelayFault::kSilent, true; }},
    {"--relay-close", nullptr, "fault: the relay closes the connection after the request",
     [](ParseState& s, const std::string&) { return Remote(s).relayServer.fault = RelayFault::kClose, true; }},
    {"--log", nullptr, "print every request and datagram received to standard error",
     [](ParseState& s, const std::string&) { return s.options.log = true, true; }},
    {"--help", nullptr, "show this help and exit",
     [](ParseState& s, const std::string&) { return s.options.help = true, true; }},
    {"--version", nullptr, "show the program's version and exit",
     [](ParseState& s, const std::string&) { return s.options.version = true, true; }},
};

const OptionDef* FindOption(const std::string& name) {
  for (const OptionDef& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions* options, std::string* error) {
  options->config.port = kDefaultSimPort;
  options->config.discovery.enabled = true;
  ParseState state{*options};
  for (size_t i = 0; i < args.size(); ++i) {
    const size_t equals = args[i].find('=');
    const std::string name = args[i].substr(0, equals);
    const OptionDef* option = FindOption(name);
    if (option == nullptr) {
      *error = "unknown option " + args[i] + " (try --help)";
      return false;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = args[i].substr(equals + 1);
    } else if (option->valueName != nullptr) {
      if (i + 1 == args.size()) {
        *error = name + " needs a value " + option->valueName + " (try --help)";
        return false;
      }
      value = args[++i];
    }
    if ((option->valueName == nullptr && equals != std::string::npos) || !option->apply(state, value)) {
      *error = "bad value for " + name + ": " + value + " (try --help)";
      return false;
    }
  }
  return true;
}

std::string SimUsage() {
  std::string text =
      "usage: tidewatcher-sim [OPTION]...\n"
      "A simulated pool system: the protocol service (challenge, login, version, system name,\n"
      "controller configuration) on one TCP address, and the protocol adapter's discovery\n"
      "answers and IP configuration on UDP port 1444 of the same address, with fault injection.\n"
      "Runs until SIGINT or SIGTERM. CODE is a request code, e.g. 14 ChallengeQuery, 27 LoginQuery,\n"
      "8058 SystemNameQuery, 8120 VersionQuery, 12510, 12532, 12558, 12561, 12562, 12566.\n"
      "With --discovery-service and --relay it also plays the internet's discovery service and\n"
      "relay server for this system, whose protocol service then stands for its gateway.\n"
      "Bind 0.0.0.0 only inside a network namespace of its own: the sim then hears broadcasts.\n\n";
  for (const OptionDef& option : kOptions) {
    std::string left = std::string("  ") + option.name + (option.valueName ? std::string(" ") + option.valueName : "");
    if (left.size() < 34) left.resize(34, ' ');
    std::string help = option.help;
    // A help text of two lines continues under its first.
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1)) {
      help.insert(at + 1, std::string(35, ' '));
    }
    text += left + " " + help + "\n";
  }
  return text;
}
