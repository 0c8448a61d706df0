#include "protocol/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/message_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A message as it arrives: header, then exactly the payload.
Bytes Wire(uint16_t queryId, uint16_t code, const Bytes& payload) {
  Bytes header = {static_cast<uint8_t>(queryId), static_cast<uint8_t>(queryId >> 8),
                  static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8)};
  return Cat({header, Le32(static_cast<uint32_t>(payload.size())), payload});
}

Bytes WireOf(CZkMSG& message) {
  const uint8_t* wire = message.GetWire();
  return Bytes(wire, wire + message.GetWireSize());
}

Bytes PayloadOf(CZkMSG& message) {
  Bytes wire = WireOf(message);
  return Bytes(wire.begin() + CZkMSG::kHeaderSize, wire.end());
}

std::unique_ptr<CZkMSG> NewRequest(uint16_t code = message_codes::LoginQuery) {
  auto message = CZkMSG::Create(0, code, 0, true);
  EXPECT_NE(message, nullptr);
  return message;
}

TEST(MessageCreate, EmptyRequestIsTheHeaderAlone) {
  auto message = NewRequest(message_codes::ChallengeQuery);
  EXPECT_EQ(WireOf(*message), (Bytes{0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(message->GetQueueIfBlocked());
}

TEST(MessageCreate, InitialSizeOnlyReservesRoom) {
  auto message = CZkMSG::Create(0, message_codes::LoginQuery, 256, true);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->GetLength(), 256);
  EXPECT_EQ(message->GetCapacity(), 320);
  ASSERT_TRUE(message->WriteInt(7));
  EXPECT_EQ(message->GetLength(), 4);
  EXPECT_EQ(message->GetCapacity(), 320);
}

TEST(MessageCreate, OversizedInitialSizeGivesNoBufferUntilTheFirstWrite) {
  for (int32_t size : {CZkMSG::kMaxLength + 1, -1}) {
    auto message = CZkMSG::Create(0x0102, 0x0304, size, false);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetLength(), 0);
    EXPECT_EQ(message->GetPayload(), nullptr);
    EXPECT_FALSE(message->GetQueueIfBlocked());
    EXPECT_EQ(WireOf(*message), (Bytes{0x02, 0x01, 0x04, 0x03, 0, 0, 0, 0}));
    uint8_t byte = 0;
    EXPECT_FALSE(message->ReadByte(&byte));
    ASSERT_TRUE(message->WriteInt(0x11223344));
    EXPECT_EQ(WireOf(*message), (Bytes{0x02, 0x01, 0x04, 0x03, 4, 0, 0, 0, 0x44, 0x33, 0x22, 0x11}));
  }
}

TEST(MessageCreate, LargestInitialSizeGetsABuffer) {
  auto message = CZkMSG::Create(0, 1, CZkMSG::kMaxLength, true);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->GetLength(), CZkMSG::kMaxLength);
  EXPECT_NE(message->GetPayload(), nullptr);
}

struct WriteCase {
  const char* name;
  bool (*write)(CZkMSG&);
  Bytes payload;
};

TEST(MessageWrite, ItemsArePaddedToFourBytes) {
  static const uint8_t kSixteen[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const WriteCase cases[] = {
      {"string abc", [](CZkMSG& m) { return m.WriteString("abc"); },
       {3, 0, 0, 0, 'a', 'b', 'c', 0}},
      {"string abcd", [](CZkMSG& m) { return m.WriteString("abcd"); },
       {4, 0, 0, 0, 'a', 'b', 'c', 'd'}},
      {"empty string", [](CZkMSG& m) { return m.WriteString(""); }, {0, 0, 0, 0}},
      {"Latin-1 string", [](CZkMSG& m) { return m.WriteString("\xE9"); },
       {1, 0, 0, 0, 0xE9, 0, 0, 0}},
      {"16-byte block", [](CZkMSG& m) { return m.WriteBytes(kSixteen, 16); },
       Bytes(kSixteen, kSixteen + 16)},
      {"5-byte block", [](CZkMSG& m) { return m.WriteBytes(kSixteen, 5); },
       {1, 2, 3, 4, 5, 0, 0, 0}},
      {"empty block", [](CZkMSG& m) { return m.WriteBytes(nullptr, 0); }, {}},
      {"negative int", [](CZkMSG& m) { return m.WriteInt(-2); }, {0xFE, 0xFF, 0xFF, 0xFF}},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto message = NewRequest();
    ASSERT_TRUE(message->WriteInt(0x01020304));
    ASSERT_TRUE(c.write(*message));
    EXPECT_EQ(PayloadOf(*message), Cat({Le32(0x01020304), c.payload}));
    EXPECT_EQ(message->GetLength(), static_cast<int32_t>(4 + c.payload.size()));
  }
}

TEST(MessageWrite, WritesFollowTheCursorAfterRewind) {
  auto message = NewRequest();
  ASSERT_TRUE(message->WriteInt(1));
  ASSERT_TRUE(message->WriteInt(2));
  message->Rewind();
  ASSERT_TRUE(message->WriteInt(3));
  EXPECT_EQ(PayloadOf(*message), Le32(3));
}

TEST(MessageWrite, RefusedWritesLeaveTheMessageAsItWas) {
  auto message = NewRequest();
  ASSERT_TRUE(message->WriteString("keep"));
  const Bytes before = WireOf(*message);
  uint8_t byte = 0;
  EXPECT_FALSE(message->WriteBytes(&byte, -1));
  EXPECT_FALSE(message->WriteBytes(nullptr, 4));
  // Too large for any buffer: refused before anything is allocated.
  EXPECT_FALSE(message->WriteBytes(&byte, 0x7FFFFFFF));
  EXPECT_FALSE(message->Reserve(0x7FFFFFF0));
  EXPECT_FALSE(message->Reserve(-1));
  EXPECT_EQ(WireOf(*message), before);
  EXPECT_EQ(message->GetCapacity(), 64);
}

TEST(MessageReserve, GrowsToTheNextMultipleOf64AboveTheNeed) {
  const struct {
    int32_t payload;
    int32_t capacity;
  } cases[] = {{0, 64}, {55, 64}, {56, 128}, {119, 128}, {120, 192}, {256, 320}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.payload);
    auto message = CZkMSG::Create(0, 1, c.payload, true);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetCapacity(), c.capacity);
    EXPECT_TRUE(message->Reserve(c.payload));
    EXPECT_EQ(message->GetCapacity(), c.capacity);
  }
}

TEST(MessageReserve, AppendingGrowsInStepsAndKeepsTheContent) {
  auto message = NewRequest();
  Bytes expected;
  for (int32_t i = 0; i < 14; ++i) {
    ASSERT_TRUE(message->WriteInt(i));
    expected = Cat({expected, Le32(static_cast<uint32_t>(i))});
  }
  EXPECT_EQ(message->GetCapacity(), 64);  // 56 payload bytes + header fill it exactly
  ASSERT_TRUE(message->WriteInt(14));
  expected = Cat({expected, Le32(14)});
  EXPECT_EQ(message->GetCapacity(), 128);
  EXPECT_EQ(PayloadOf(*message), expected);
}

TEST(MessageHeader, SetQueryIdStampsTheWire) {
  auto message = NewRequest(message_codes::VersionQuery);
  ASSERT_TRUE(message->WriteInt(5));
  message->SetQueryId(0x1234);
  EXPECT_EQ(message->GetQueryId(), 0x1234);
  EXPECT_EQ(WireOf(*message), Cat({{0x34, 0x12, 0xB8, 0x1F}, Le32(4), Le32(5)}));
}

// Reading a received message.
class MessageRead : public ::testing::Test {
 protected:
  CZkMSG& WrapPayload(const Bytes& payload) {
    wire_ = Wire(0x0042, message_codes::VersionAnswer, payload);
    message_ = CZkMSG::Wrap(wire_.data());
    EXPECT_NE(message_, nullptr);
    return *message_;
  }

  Bytes wire_;
  std::unique_ptr<CZkMSG> message_;
};

TEST_F(MessageRead, WrapBorrowsTheBytesWithoutCopying) {
  CZkMSG& message = WrapPayload(Le32(9));
  EXPECT_EQ(message.GetQueryId(), 0x0042);
  EXPECT_EQ(message.GetCode(), message_codes::VersionAnswer);
  EXPECT_EQ(message.GetLength(), 4);
  EXPECT_TRUE(message.GetQueueIfBlocked());
  EXPECT_EQ(message.GetPayload(), wire_.data() + 8);
  EXPECT_EQ(message.GetWire(), wire_.data());
  EXPECT_EQ(message.GetWireSize(), 12);
}

TEST_F(MessageRead, ItemsAreLittleEndian) {
  CZkMSG& message = WrapPayload({0xAB, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x7F, 0x00});
  uint8_t byte = 0;
  uint16_t shortValue = 0;
  int32_t intValue = 0;
  EXPECT_TRUE(message.ReadByte(&byte));
  EXPECT_TRUE(message.ReadShort(&shortValue));
  EXPECT_TRUE(message.ReadInt(&intValue));
  EXPECT_EQ(byte, 0xAB);
  EXPECT_EQ(shortValue, 0x1234);
  EXPECT_EQ(intValue, 0x7FFFFFFF);
  EXPECT_TRUE(message.ReadByte(&byte));
  EXPECT_FALSE(message.ReadByte(&byte));
  EXPECT_EQ(byte, 0x00);
  message.Rewind();
  EXPECT_TRUE(message.ReadShort());  // skipped without a destination
  EXPECT_TRUE(message.ReadByte(&byte));
  EXPECT_EQ(byte, 0x12);
}

TEST_F(MessageRead, ShortReadFailsWithoutMovingAndOnlyBlocksStringAndColour) {
  CZkMSG& message = WrapPayload(Cat({Le32(3), {'a', 'b', 'c'}}));
  ASSERT_TRUE(message.ReadInt());
  int32_t value = 77;
  EXPECT_FALSE(message.ReadInt(&value));  // 3 bytes left
  EXPECT_EQ(value, 77);
  std::string text = "unchanged";
  uint32_t colour = 5;
  message.Rewind();  // a read error outlives Rewind
  EXPECT_FALSE(message.ReadString(&text));
  EXPECT_FALSE(message.ReadColor(&colour));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(colour, 5u);
  // The refused reads moved nothing: the count is still next.
  EXPECT_TRUE(message.ReadInt(&value));
  EXPECT_EQ(value, 3);
  uint8_t byte = 0;
  EXPECT_TRUE(message.ReadByte(&byte));
  EXPECT_EQ(byte, 'a');
}

TEST_F(MessageRead, ColourTakesTheLowByteOfThreeInts) {
  CZkMSG& message = WrapPayload(Cat({Le32(0x7701), Le32(0xFFFFFF02), Le32(3)}));
  uint32_t colour = 0;
  EXPECT_TRUE(message.ReadColor(&colour));
  EXPECT_EQ(colour, 0x030201u);
}

TEST_F(MessageRead, FailedColourKeepsTheIntsItReadAndTheError) {
  CZkMSG& message = WrapPayload(Cat({Le32(1), Le32(2), {0xCD, 0xAB}}));
  uint32_t colour = 9;
  EXPECT_FALSE(message.ReadColor(&colour));
  EXPECT_EQ(colour, 9u);
  uint16_t rest = 0;
  EXPECT_TRUE(message.ReadShort(&rest));
  EXPECT_EQ(rest, 0xABCD);
  message.Rewind();
  EXPECT_FALSE(message.ReadColor(&colour));
}

TEST_F(MessageRead, StringsOfBothForms) {
  const struct {
    const char* name;
    Bytes payload;
    std::string text;
    int32_t consumed;
  } cases[] = {
      {"8-bit", Cat({Le32(3), {'a', 'b', 'c', 0}}), "abc", 8},
      {"8-bit, no padding needed", Cat({Le32(4), {'a', 'b', 'c', 'd'}}), "abcd", 8},
      {"empty", Le32(0), "", 4},
      {"UTF-16", Cat({Le32(0x80000006), {'a', 0, 'b', 0, 'c', 0, 0, 0}}), "abc", 12},
      {"UTF-16 beyond Latin-1",
       Cat({Le32(0x80000006), {0xE9, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0, 0}}), "\xE9??", 12},
      {"UTF-16 odd byte count", Cat({Le32(0x80000005), {'h', 0, 'i', 0, 'x', 0, 0, 0}}),
       "hi", 12},
      {"UTF-16 empty", Le32(0x80000000), "", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CZkMSG& message = WrapPayload(Cat({c.payload, Le32(0x5A5A5A5A)}));
    std::string text = "old";
    EXPECT_TRUE(message.ReadString(&text));
    EXPECT_EQ(text, c.text);
    int32_t marker = 0;
    EXPECT_TRUE(message.ReadInt(&marker));
    EXPECT_EQ(marker, 0x5A5A5A5A) << "consumed " << c.consumed << " bytes expected";
    // A success leaves no error behind.
    message.Rewind();
    EXPECT_TRUE(message.ReadString(nullptr));
  }
}

TEST_F(MessageRead, StringCountPastThePayloadFailsWithoutReadingIt) {
  const uint32_t counts[] = {9, 0x7FFFFFFF, 0x7FFFFFFD, 0x80000000u | 10, 0xFFFFFFFF};
  for (uint32_t count : counts) {
    SCOPED_TRACE(count);
    CZkMSG& message = WrapPayload(Cat({Le32(count), {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}}));
    std::string text = "unchanged";
    EXPECT_FALSE(message.ReadString(&text));
    EXPECT_EQ(text, "unchanged");
    int32_t first = 0;
    EXPECT_TRUE(message.ReadInt(&first));  // cursor still at the count
    EXPECT_EQ(static_cast<uint32_t>(first), count);
    message.Rewind();
    EXPECT_FALSE(message.ReadString(&text));  // the error stays
  }
}

TEST_F(MessageRead, StringWithoutItsFinalPaddingReadsAndStopsAtTheEnd) {
  CZkMSG& message = WrapPayload(Cat({Le32(3), {'a', 'b', 'c'}}));
  std::string text;
  EXPECT_TRUE(message.ReadString(&text));
  EXPECT_EQ(text, "abc");
  uint8_t byte = 0;
  EXPECT_FALSE(message.ReadByte(&byte));
  // A write now lands right at the end of the payload, on a private copy.
  const Bytes received = wire_;
  ASSERT_TRUE(message.WriteInt(0x44332211));
  EXPECT_EQ(PayloadOf(message), Cat({Le32(3), {'a', 'b', 'c'}, Le32(0x44332211)}));
  EXPECT_EQ(wire_, received);
}

TEST_F(MessageRead, WrappedBytesAreNeverWritten) {
  CZkMSG& message = WrapPayload(Le32(1));
  const Bytes received = wire_;
  message.SetQueryId(0x0777);
  EXPECT_EQ(WireOf(message), Cat({{0x77, 0x07, 0xB9, 0x1F}, Le32(4), Le32(1)}));
  ASSERT_TRUE(message.WriteInt(2));
  EXPECT_EQ(wire_, received);
}

TEST_F(MessageRead, LengthFieldBeyondTheLimitGivesTheEmptyMessage) {
  for (uint32_t length : {uint32_t{2000001}, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    // Only the header exists: nothing past it may be touched.
    Bytes header = Cat({{0x01, 0x00, 0x0F, 0x00}, Le32(length)});
    auto message = CZkMSG::Wrap(header.data());
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetQueryId(), 0xFFFF);
    EXPECT_EQ(message->GetCode(), 0xFFFF);
    EXPECT_EQ(message->GetLength(), 0);
    EXPECT_EQ(message->GetPayload(), nullptr);
    EXPECT_FALSE(message->ReadInt());
    EXPECT_FALSE(message->ReadString(nullptr));
  }
}

TEST_F(MessageRead, LengthFieldAtTheLimitIsAccepted) {
  CZkMSG& message = WrapPayload(Bytes(CZkMSG::kMaxLength, 0x11));
  EXPECT_EQ(message.GetLength(), CZkMSG::kMaxLength);
  EXPECT_EQ(message.GetCode(), message_codes::VersionAnswer);
}

TEST(MessageClone, IsAnIndependentEqualCopy) {
  Bytes wire = Wire(0x0005, message_codes::ChallengeAnswer, Cat({Le32(2), {'h', 'i', 0, 0}}));
  auto received = CZkMSG::Wrap(wire.data());
  ASSERT_NE(received, nullptr);
  EXPECT_FALSE(received->ReadColor(nullptr));  // leaves a read error and a cursor behind
  auto copy = received->Clone();
  ASSERT_NE(copy, nullptr);
  std::fill(wire.begin(), wire.end(), 0xEE);  // the socket reuses its buffer
  EXPECT_EQ(copy->GetQueryId(), 0x0005);
  EXPECT_EQ(copy->GetCode(), message_codes::ChallengeAnswer);
  EXPECT_TRUE(copy->GetQueueIfBlocked());
  EXPECT_EQ(WireOf(*copy), Wire(0x0005, message_codes::ChallengeAnswer,
                                Cat({Le32(2), {'h', 'i', 0, 0}})));
  std::string text;
  EXPECT_TRUE(copy->ReadString(&text));  // cursor 0, no read error
  EXPECT_EQ(text, "hi");
}

TEST(MessageClone, CopiesAMessageWithoutBuffer) {
  auto empty = CZkMSG::Create(3, 4, CZkMSG::kMaxLength + 1, true);
  ASSERT_NE(empty, nullptr);
  auto copy = empty->Clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->Equals(*empty));
  EXPECT_EQ(WireOf(*copy), (Bytes{3, 0, 4, 0, 0, 0, 0, 0}));
}

TEST(MessageEquals, ComparesCodeLengthAndPayloadButNotQueryId) {
  auto build = [](uint16_t queryId, uint16_t code, int32_t first, int32_t second) {
    auto message = CZkMSG::Create(queryId, code, 0, true);
    message->WriteInt(first);
    message->WriteInt(second);
    return message;
  };
  auto base = build(1, 100, 7, 8);
  EXPECT_TRUE(base->Equals(*build(2, 100, 7, 8)));
  EXPECT_FALSE(base->Equals(*build(1, 101, 7, 8)));
  EXPECT_FALSE(base->Equals(*build(1, 100, 7, 9)));
  auto shorter = CZkMSG::Create(1, 100, 0, true);
  shorter->WriteInt(7);
  EXPECT_FALSE(base->Equals(*shorter));
  EXPECT_FALSE(shorter->Equals(*base));
}

TEST(MessageCodes, AnswersAreTheirRequestPlusOne) {
  using namespace message_codes;
  const uint16_t pairs[][2] = {
      {ChallengeQuery, ChallengeAnswer},
      {LoginQuery, LoginAnswer},
      {SystemNameQuery, SystemNameAnswer},
      {VersionQuery, VersionAnswer},
      {NamedValuesQuery, NamedValuesAnswer},
      {ControllerConfigQuery, ControllerConfigAnswer},
      {StandardNameCountQuery, StandardNameCountAnswer},
      {StandardNamesQuery, StandardNamesAnswer},
      {CustomNamesQuery, CustomNamesAnswer},
      {ControllerDetailsQuery, ControllerDetailsAnswer},
      {SystemLookupQuery, SystemLookupAnswer},
  };
  for (const auto& pair : pairs) EXPECT_EQ(pair[0] + 1, pair[1]) << pair[0];
  EXPECT_EQ(StandardNamesAnswer, CustomNamesQuery);
}

}  // namespace
