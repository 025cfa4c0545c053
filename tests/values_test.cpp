//===- tests/values_test.cpp - Value kinds, radixes, signs and parameters -===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, UnsignedBytesInEveryRadixForm) {
  EXPECT_EQ(Bytes("data1u 255, 0FFh, 0xff, 0XFF, 11111111b, 377o, 255d"),
            std::string(7, '\xFF'));
  EXPECT_EQ(Bytes("data1u 256, 300, -1, +7, -1.5"), B({0, 44, 1, 7, 0xFF}));
  EXPECT_EQ(Bytes("data1u 12, 12b, 1b, 0x1b, 0x, 1.9"), B({12, 12, 1, 27, 0, 1}));
}

TEST_F(Ferrox, SignedKindsWrapInTheirWidth) {
  EXPECT_EQ(Bytes("data1i -1, -128, +7, -0x10, 128, -129"),
            B({0xFF, 0x80, 7, 0xF0, 0x80, 0x7F}));
  EXPECT_EQ(Bytes("data2i -2, 1e3, 65536"), B({0xFE, 0xFF, 0xE8, 3, 0, 0}));
  EXPECT_EQ(Bytes("data4i -2147483648, 4294967297"),
            B({0, 0, 0, 0x80, 1, 0, 0, 0}));
  EXPECT_EQ(Bytes("data8i -9223372036854775808"), Hex("00 00 00 00 00 00 00 80"));
  EXPECT_EQ(Bytes("data8u 0xFFFFFFFFFFFFFFFF, 18446744073709551616"),
            std::string(8, '\xFF') + std::string(8, '\0'));
  EXPECT_EQ(Bytes("data4u 0x12345678, 2u"), Hex("78563412 02000000"));
}

TEST_F(Ferrox, FloatingFallBackTruncatesAndSaturates) {
  EXPECT_EQ(Bytes("data8i 1e30, -1e30, 1e999"),
            Hex("ffffffffffffff7f 0000000000000080 ffffffffffffff7f"));
  EXPECT_EQ(Bytes("data4i 1e30, 0x1G, 3abc"), Hex("ffffffff 00000000 03000000"));
  EXPECT_EQ(Bytes("data2u -7.9"), Hex("f9ff"));
}

TEST_F(Ferrox, FloatsAreIeeeSingleAndDouble) {
  EXPECT_EQ(Bytes("data4f 1.5, -2, 10h, 101b"),
            Hex("0000c03f 000000c0 00008041 0000a040"));
  EXPECT_EQ(Bytes("data8f 0.1, 1e3"),
            Hex("9a9999999999b93f 0000000000408f40"));
  EXPECT_EQ(Bytes("data4f 1e39, -1e39, 1e-50"),
            Hex("0000807f 000080ff 00000000"));
  // Up to half a place beyond the largest float, rounding gives the largest
  // float, not an infinity; in data and in instruction parameters alike.
  EXPECT_EQ(Bytes("data4f 3.40282347e38, -3.40282347e38, 3.4028235e38, "
                  "3.4028236e38"),
            Hex("ffff7f7f ffff7fff ffff7f7f 0000807f"));
  EXPECT_EQ(Bytes("put &\"\", &-3.40282347e38, &0"),
            Hex("1508 00 ffff7fff 0000000000000000"));
  EXPECT_EQ(Bytes("data8f 1e999"), Hex("000000000000f07f"));
}

TEST_F(Ferrox, OneCharacterStringsAreSignedCharacterCodes) {
  EXPECT_EQ(Bytes("data1u 'A'\ndata2i \"A\"\ndata4f 'A'"),
            Hex("41 4100 00008242"));
  EXPECT_EQ(Bytes("data2u '\\xFF'\ndata8f '\\x80'"),
            Hex("ffff 00000000000060c0"));
}

TEST_F(Ferrox, StringKindsPrefixOrTerminate) {
  EXPECT_EQ(Bytes("data2s \"abc\"\ndata0s \"abc\"\ndatans \"abc\"\n"
                  "data1s 'ab'\ndata4s ''"),
            Hex("0300616263 61626300 616263 02 6162 00000000"));
  std::string longText(300, 'z');
  EXPECT_EQ(Bytes("data1s \"" + longText + "\""), B({44}) + longText);
}

TEST_F(Ferrox, ParametersTakeOptionalCommasAndExtraModeSymbols) {
  EXPECT_EQ(Bytes("data1u 1, 2 3 ,4"), B({1, 2, 3, 4}));
  EXPECT_EQ(Bytes("data1u &^5, &*6"), B({5, 6}));
  EXPECT_EQ(Bytes("data2u 1"), B({1, 0}));
}

struct ErrorCase {
  const char *source;
  const char *message;
};

TEST_F(Ferrox, ValueErrorsNameTheirLine) {
  const ErrorCase cases[] = {
      {"data1u 'ab'", "error 504: Number expected"},
      {"data2u ''", "error 504: Number expected"},
      {"data4u &start", "error 504: Number expected"},
      {"data1u &,", "error 504: Number expected"},
      {"data0s 5", "error 500: String expected"},
      {"datans x", "error 906: Only addressing mode 1 allowed here"},
      {"data4i start", "error 906: Only addressing mode 1 allowed here"},
      {"data1u ^5", "error 906: Only addressing mode 1 allowed here"},
      {"data4i &a.", "error 501: Identifier expected"},
      {"data4i &a.5", "error 501: Identifier expected"},
      {"data1u 1,", "error 503: Parameter expected"},
      {"data1u x:", "error 503: Parameter expected"},
  };
  for (const ErrorCase &c : cases) {
    RunResult result = Assemble(std::string("data1u 0\n") + c.source + "\n");
    EXPECT_EQ(Messages(result.lines),
              Lines{std::string("prog.src (2): ") + c.message})
        << c.source;
    EXPECT_EQ(result.status, 255);
    EXPECT_FALSE(Exists("out.img"));
  }
}

TEST_F(Ferrox, EarlierValuesOfAFailingLineAreCounted) {
  RunResult result = Assemble("data1u 1, 2, 'xy', 3\nbootend\n", {"-nodisk"});
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (1): error 504: Number expected"});
}

} // namespace
