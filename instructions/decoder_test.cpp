//===- instructions/decoder_test.cpp --------------------------------------===//

#include "instructions/decoder.h"

#include "assembler/values.h"

#include <gtest/gtest.h>

#include <random>

namespace {

CInstruction Define(const char *name, int top, int opcode, std::vector<std::int32_t> kinds) {
  CInstruction instruction;
  instruction.name = name;
  instruction.topBits = static_cast<std::uint8_t>(top);
  instruction.opcode = static_cast<std::uint8_t>(opcode);
  for (std::int32_t kind : kinds)
    instruction.paramKinds[static_cast<std::size_t>(instruction.paramCount++)] = kind;
  return instruction;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values)
    bytes += static_cast<char>(value);
  return bytes;
}

TEST(Decoder, HeadBytesNameTheDefinitionAndTheModes) {
  CInstructionDecoder decoder({Define("nop", 4, 0, {}), Define("ld", 1, 20, {KIND_X, KIND_2I}),
                               Define("put", 3, 50, {KIND_0S, KIND_2S, KIND_8F})});
  CDecodedInstruction out;
  ASSERT_EQ(decoder.Decode(Bytes({0x00, 0, 0xff}), out), DecodeStatus::Ok);
  EXPECT_EQ(out.definition->name, "nop");
  EXPECT_EQ(out.size, 2u);

  // ld *x, &-2: top bits 1, modes 3 and 1.
  ASSERT_EQ(decoder.Decode(Bytes({0x74, 20, 1, 2, 3, 4, 0xfe, 0xff}), out), DecodeStatus::Ok);
  EXPECT_EQ(out.size, 8u);
  EXPECT_EQ(out.parameters[0].mode, 3);
  EXPECT_EQ(out.parameters[0].bits, 0x04030201u);
  EXPECT_EQ(out.parameters[1].offset, 6u);
  EXPECT_EQ(out.parameters[1].bits, 0xfffeu);

  // put &"hi", &"ab" (2-byte length), ^addr
  std::string put = Bytes({0xd6, 50, 'h', 'i', 0, 2, 0, 'a', 'b', 9, 0, 0, 0});
  ASSERT_EQ(decoder.Decode(put, out), DecodeStatus::Ok);
  EXPECT_EQ(out.parameters[0].text, "hi");
  EXPECT_EQ(out.parameters[1].text, "ab");
  EXPECT_EQ(out.parameters[2].offset, 9u);
  EXPECT_EQ(out.size, put.size());
  EXPECT_EQ(EncodeInstruction(out), put);

  EXPECT_EQ(decoder.Decode(Bytes({0x40, 21}), out), DecodeStatus::Unknown);
  EXPECT_EQ(decoder.Decode(Bytes({0x10, 0}), out), DecodeStatus::Mismatch)
      << "a mode for a parameter nop does not have";
  EXPECT_EQ(decoder.Decode(Bytes({0x54, 20, 1, 2, 3, 4, 5, 6}), out), DecodeStatus::Mismatch)
      << "x in mode 1";
  EXPECT_EQ(decoder.Decode(Bytes({0x60, 20, 1, 2, 3, 4, 5, 6}), out), DecodeStatus::Mismatch)
      << "second parameter without a mode";
  EXPECT_EQ(decoder.Decode(Bytes({0x74, 20, 1, 2, 3, 4, 5}), out), DecodeStatus::Truncated);
  EXPECT_EQ(decoder.Decode(Bytes({0xd6, 50, 'h', 'i'}), out), DecodeStatus::Truncated)
      << "no zero byte";
  EXPECT_EQ(decoder.Decode(Bytes({0xd6, 50, 0, 9, 0, 'a'}), out), DecodeStatus::Truncated)
      << "length prefix beyond the bytes";
}

TEST(Decoder, SameHeadTriesDefinitionsInFileOrder) {
  CInstructionDecoder decoder({Define("one", 0, 7, {KIND_1U}), Define("two", 4, 7, {KIND_1U, KIND_1U})});
  CDecodedInstruction out;
  ASSERT_EQ(decoder.Candidates(0x14, 7).size(), 2u);
  ASSERT_EQ(decoder.Decode(Bytes({0x14, 7, 1, 2}), out), DecodeStatus::Ok);
  EXPECT_EQ(out.definition->name, "two");
  ASSERT_EQ(decoder.Decode(Bytes({0x10, 7, 1, 2}), out), DecodeStatus::Ok);
  EXPECT_EQ(out.definition->name, "one");
}

TEST(Decoder, NsStringsTakeTheLengthTheSizeLeaves) {
  CInstruction fixedAfter = Define("a", 0, 1, {KIND_NS, KIND_2U});
  CInstruction variableAfter = Define("b", 0, 2, {KIND_NS, KIND_0S, KIND_NS});
  CDecodedInstruction out;
  std::string bytes = Bytes({0x14, 1, 'x', 'y', 'z', 5, 0});
  EXPECT_EQ(DecodeAs(fixedAfter, bytes, std::nullopt, out), DecodeStatus::NeedsLength);
  ASSERT_EQ(DecodeAs(fixedAfter, bytes, 7u, out), DecodeStatus::Ok);
  EXPECT_EQ(out.parameters[0].text, "xyz");
  EXPECT_EQ(out.parameters[1].bits, 5u);
  EXPECT_EQ(DecodeAs(fixedAfter, bytes, 3u, out), DecodeStatus::Mismatch);

  bytes = Bytes({0x15, 2, 'a', 0, 'b', 0});
  ASSERT_EQ(DecodeAs(variableAfter, bytes, 6u, out), DecodeStatus::Ok);
  EXPECT_EQ(EncodeInstruction(out), bytes);
  EXPECT_EQ(out.parameters[1].offset + out.parameters[1].size + out.parameters[2].size, 6u);
}

// Every encodable instruction decodes to what it was made of.
TEST(Decoder, RandomInstructionsDecodeToTheirOwnBytes) {
  std::mt19937 random(7);
  auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
  for (int round = 0; round < 2000; ++round) {
    CInstruction definition = Define("i", static_cast<int>(pick(4)), static_cast<int>(pick(256)), {});
    definition.paramCount = static_cast<std::int32_t>(pick(4));
    CDecodedInstruction made;
    made.definition = &definition;
    made.count = definition.paramCount;
    for (std::int32_t p = 0; p < made.count; ++p) {
      auto kind = static_cast<std::int32_t>(1 + pick(KIND_X));
      if (kind == KIND_NS)
        kind = KIND_4S;
      definition.paramKinds[static_cast<std::size_t>(p)] = kind;
      CDecodedParameter &parameter = made.parameters[static_cast<std::size_t>(p)];
      parameter.kind = kind;
      parameter.mode = static_cast<std::int32_t>(kind == KIND_X ? 2 + pick(2) : 1 + pick(3));
      const CValueKind &info = KindInfo(kind);
      unsigned width = parameter.mode == 1 ? info.width : 4;
      parameter.bits = (std::uint64_t{random()} << 32 | random()) &
                       (width >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * width)) - 1);
      if (parameter.mode == 1 && info.form == CValueKind::String)
        for (std::uint32_t n = pick(5); n > 0; --n)
          parameter.text += static_cast<char>(info.terminated ? 1 + pick(255) : pick(256));
    }
    std::string bytes = EncodeInstruction(made);
    CInstructionDecoder decoder({definition});
    CDecodedInstruction decoded;
    ASSERT_EQ(decoder.Decode(bytes + "tail", decoded), DecodeStatus::Ok) << round;
    EXPECT_EQ(decoded.size, bytes.size());
    EXPECT_EQ(EncodeInstruction(decoded), bytes);
    EXPECT_EQ(decoder.Decode(bytes.substr(0, bytes.size() - 1), decoded),
              DecodeStatus::Truncated);
  }
}

} // namespace
