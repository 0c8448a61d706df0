#include "config/pool_config.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <utility>

#include "local/zk_query.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"

namespace {

using namespace message_codes;

// Reads one answer field after field and stops for good at the first read that
// fails. A failed string leaves the cursor before its count, and going on from
// there would read the string's bytes as the fields that follow; from the first
// failure on, every later field keeps its initial value and every count is 0.
class AnswerReader {
 public:
  explicit AnswerReader(CZkMSG& message) : message_(message) {}

  bool Byte(uint8_t* value) { return ok_ && Keep(message_.ReadByte(value)); }
  bool Short(uint16_t* value) { return ok_ && Keep(message_.ReadShort(value)); }
  bool Int(uint32_t* value) {
    int32_t raw = 0;
    if (!ok_ || !Keep(message_.ReadInt(&raw))) return false;
    *value = static_cast<uint32_t>(raw);
    return true;
  }
  bool Text(std::string* text) { return ok_ && Keep(message_.ReadString(text)); }
  bool Color(uint32_t* value) { return ok_ && Keep(message_.ReadColor(value)); }
  bool Bytes(std::vector<uint8_t>* bytes) { return ok_ && Keep(ReadByteArray(message_, bytes)); }
  // A count that cannot be read counts as 0.
  uint32_t Count() {
    uint32_t count = 0;
    Int(&count);
    return count;
  }

 private:
  bool Keep(bool read) {
    ok_ = read;
    return read;
  }

  CZkMSG& message_;
  bool ok_ = true;
};

// A request of u32 items, created as every request of the launcher is.
std::unique_ptr<CZkMSG> Request(uint16_t code, std::initializer_list<uint32_t> items) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, code, 0, true);
  if (!request) return nullptr;
  for (uint32_t item : items) {
    if (!request->WriteInt(static_cast<int32_t>(item))) return nullptr;
  }
  return request;
}

CZkMSG* AskFor(ConfigExchange& exchange, uint16_t code, std::initializer_list<uint32_t> items) {
  std::unique_ptr<CZkMSG> request = Request(code, items);
  return request ? exchange.Ask(request.get()) : nullptr;
}

// Each exchange on a query of its own, so a late answer to one that timed out is
// never taken for the answer to the next.
class QueryExchange : public ConfigExchange {
 public:
  CZkMSG* Ask(CZkMSG* request) override {
    query_.reset();
    query_ = std::make_unique<CZkQuery>();
    CZkMSG* answer = nullptr;
    return query_->Ask(&answer, request) ? answer : nullptr;
  }

 private:
  std::unique_ptr<CZkQuery> query_;
};

// Appends up to `count` strings; false when the payload ran out first.
bool ReadTexts(AnswerReader& reader, uint32_t count, std::vector<std::string>* texts) {
  for (uint32_t i = 0; i < count; ++i) {
    std::string text;
    if (!reader.Text(&text)) return false;
    texts->push_back(std::move(text));
  }
  return true;
}

bool ReadEntry(AnswerReader& reader, ConfigEntry* entry) {
  uint8_t byte4 = 0;
  uint8_t byte5 = 0;
  if (!reader.Int(&entry->number) || !reader.Byte(&entry->nameIndex) || !reader.Byte(&entry->byte3) ||
      !reader.Byte(&byte4) || !reader.Byte(&byte5) || !reader.Byte(&entry->byte6) ||
      !reader.Byte(&entry->byte7) || !reader.Short(&entry->word8)) {
    return false;
  }
  entry->byte4Low = byte4 & 0x3F;
  entry->byte4High = static_cast<uint8_t>(byte4 >> 6);
  entry->byte5Low = byte5 & 0x0F;
  entry->byte5High = static_cast<uint8_t>(byte5 >> 4);
  return true;
}

// Only whole entries are kept; the list grows as far as the payload reaches,
// whatever count it announces.
std::vector<ConfigEntry> ReadEntries(AnswerReader& reader) {
  std::vector<ConfigEntry> entries;
  const uint32_t count = reader.Count();
  for (uint32_t i = 0; i < count; ++i) {
    ConfigEntry entry;
    if (!ReadEntry(reader, &entry)) break;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<NamedColor> ReadNamedColors(AnswerReader& reader) {
  std::vector<NamedColor> colors;
  const uint32_t count = reader.Count();
  for (uint32_t i = 0; i < count; ++i) {
    NamedColor color;
    if (!reader.Text(&color.name) || !reader.Color(&color.value)) break;
    colors.push_back(std::move(color));
  }
  return colors;
}

}  // namespace

bool ReadByteArray(CZkMSG& message, std::vector<uint8_t>* bytes) {
  int32_t raw = 0;
  if (!message.ReadInt(&raw)) return false;
  const uint32_t count = static_cast<uint32_t>(raw);
  if (count > static_cast<uint32_t>(CPoolConfig::kMaxByteArraySize)) return false;
  std::vector<uint8_t> read;
  read.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t byte = 0;
    if (!message.ReadByte(&byte)) return false;
    read.push_back(byte);
  }
  for (uint32_t padding = (4 - count % 4) % 4; padding > 0; --padding) {
    if (!message.ReadByte(nullptr)) return false;
  }
  *bytes = std::move(read);
  return true;
}

CPoolConfig::CPoolConfig(uint32_t controllerIndex) : controllerIndex_(controllerIndex) {
  QueryExchange exchange;
  Load(exchange);
}

CPoolConfig::CPoolConfig(uint32_t controllerIndex, ConfigExchange& exchange)
    : controllerIndex_(controllerIndex) {
  Load(exchange);
}

CPoolConfig::~CPoolConfig() = default;

void CPoolConfig::Load(ConfigExchange& exchange) {
  CZkMSG* answer = AskFor(exchange, ControllerConfigQuery, {controllerIndex_, 1});
  if (answer == nullptr) return;
  ReadConfigAnswer(*answer);
  LoadFollowUpTables(exchange);
  AssignEntryNames();
  loaded_ = true;
}

void CPoolConfig::ReadConfigAnswer(CZkMSG& answer) {
  AnswerReader reader(answer);
  reader.Int(&fields_.number1);
  for (uint8_t& byte : fields_.bytes2To5) reader.Byte(&byte);
  reader.Byte(&fields_.byte6);
  reader.Byte(&controllerType_);
  reader.Byte(&fields_.byte8);
  reader.Byte(&fields_.byte9);
  reader.Int(&fields_.number10);
  reader.Text(&fields_.firstText);
  entries_ = ReadEntries(reader);
  reader.Text(&fields_.secondText);
  namedColors_ = ReadNamedColors(reader);
  for (uint8_t& byte : fields_.bytes15) reader.Byte(&byte);
  reader.Int(&fields_.number16);
  reader.Int(&fields_.number17);
}

// Each step needs the one before it, except that the named values may be missing.
void CPoolConfig::LoadFollowUpTables(ConfigExchange& exchange) {
  if (!LoadStandardNames(exchange)) return;
  if (!ReadNameList(exchange, CustomNamesQuery, &customNames_)) return;
  LoadNamedValues(exchange);
  LoadDetails(exchange);
}

// False when the tables after it must not be asked for: no count, or a chunk
// without answer. A chunk of another size than asked for, or one whose strings
// run out, ends the chunk loop; the names after it would sit at wrong indices.
bool CPoolConfig::LoadStandardNames(ConfigExchange& exchange) {
  CZkMSG* answer = AskFor(exchange, StandardNameCountQuery, {0});
  int32_t announced = 0;
  if (answer == nullptr || !answer->ReadInt(&announced)) return false;
  uint32_t total = static_cast<uint32_t>(announced);
  if (total > static_cast<uint32_t>(kMaxStandardNames)) total = kMaxStandardNames;
  for (uint32_t done = 0; done < total;) {
    const uint32_t ask = std::min<uint32_t>(kStandardNamesPerRequest, total - done);
    answer = AskFor(exchange, StandardNamesQuery, {0, done, ask});
    if (answer == nullptr) return false;
    AnswerReader reader(*answer);
    if (reader.Count() != ask || !ReadTexts(reader, ask, &standardNames_)) break;
    done += ask;
  }
  return true;
}

bool CPoolConfig::ReadNameList(ConfigExchange& exchange, uint16_t code, std::vector<std::string>* names) {
  CZkMSG* answer = AskFor(exchange, code, {0});
  if (answer == nullptr) return false;
  AnswerReader reader(*answer);
  ReadTexts(reader, reader.Count(), names);
  return true;
}

void CPoolConfig::LoadNamedValues(ConfigExchange& exchange) {
  CZkMSG* answer = AskFor(exchange, NamedValuesQuery, {0});
  if (answer == nullptr) return;
  AnswerReader reader(*answer);
  const uint32_t count = reader.Count();
  for (uint32_t i = 0; i < count; ++i) {
    NamedValue named;
    if (!reader.Int(&named.value) || !reader.Text(&named.name)) break;
    namedValues_.push_back(std::move(named));
  }
}

void CPoolConfig::LoadDetails(ConfigExchange& exchange) {
  for (std::vector<uint8_t>& bytes : byteArrays_) std::vector<uint8_t>().swap(bytes);
  CZkMSG* answer = AskFor(exchange, ControllerDetailsQuery, {controllerIndex_});
  if (answer != nullptr) ReadDetailsAnswer(*answer);
}

// The type is replaced first, so an unreadable byte array later on never leaves
// the type of the configuration record in force.
void CPoolConfig::ReadDetailsAnswer(CZkMSG& answer) {
  AnswerReader reader(answer);
  uint32_t field = 0;
  if (reader.Int(&field)) {
    controllerType_ = static_cast<uint8_t>(field);
    fields_.byte8 = static_cast<uint8_t>(field >> 8);
  }
  if (reader.Int(&field)) fields_.byte9 = static_cast<uint8_t>(field);
  for (std::vector<uint8_t>& bytes : byteArrays_) {
    if (!reader.Bytes(&bytes)) break;
  }
}

// Standard names first, then custom names counted on from where the standard
// names end (wrapping at 256, as the index is 8 bits), else "None".
void CPoolConfig::AssignEntryNames() {
  const size_t standardCount = standardNames_.size();
  for (ConfigEntry& entry : entries_) {
    const size_t index = entry.nameIndex;
    if (index < standardCount) {
      entry.name = standardNames_[index];
      continue;
    }
    const size_t customIndex = (index - standardCount) % 256;
    entry.name = customIndex < customNames_.size() ? customNames_[customIndex] : "None";
  }
}
