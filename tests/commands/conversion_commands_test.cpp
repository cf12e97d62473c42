// Conversions: text forms of every kind, numbers from texts, raw bytes and hexadecimal text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/commands/test_runtime.h"

using namespace testrt;

namespace {

class Conversions : public LeakCheckedTest {};

ArgRecord Float(float v) {
  ArgRecord r{};
  r.floatValue = v;
  r.tag = TAG_FLOAT;
  return r;
}
ArgRecord Date(double days) {
  ArgRecord r = DoubleArg(days);
  r.tag = TAG_DATETIME;
  return r;
}
ArgRecord Long(int64_t v) { return MakeArg(TAG_LONG, static_cast<uint64_t>(v)); }

std::optional<std::string> ToText(const ArgRecord& v) { return TakeText(Call(kCmdToText, {v})); }
std::string Form(const ArgRecord& v) { return ToText(v).value_or(""); }
double ToNumber(const ArgRecord& v) { return Call(kCmdToNumber, {v}).doubleValue; }

// An array block of 4-byte members built by the test.
struct IntArray {
  std::vector<int32_t> words;
  explicit IntArray(std::initializer_list<int32_t> members) : words{1, 0} {
    words[1] = static_cast<int32_t>(members.size());
    words.insert(words.end(), members);
  }
  ArgRecord Arg(TypeTag member) const {
    return MakeArg(member | TAG_ARRAY, reinterpret_cast<uint32_t>(words.data()));
  }
};

TEST_F(Conversions, IntegerLogicalAndTextForms) {
  EXPECT_EQ(Form(MakeArg(TAG_BYTE, 255)), "255");
  EXPECT_EQ(Form(MakeArg(TAG_SHORT, 0xFFFF)), "-1");
  EXPECT_EQ(Form(Int(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(Form(Long(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(Form(Long(1234567890123LL)), "1234567890123");
  EXPECT_EQ(Form(MakeArg(TAG_BOOL, 2)), "真");
  EXPECT_EQ(Form(MakeArg(TAG_BOOL, 0)), "假");
  EXPECT_EQ(Form(Txt("abc")), "abc");
  EXPECT_EQ(ToText(Txt("")), std::nullopt);
  EXPECT_EQ(ToText(MakeArg(TAG_SUBPTR, 0x401000)), std::nullopt);
  EXPECT_EQ(ToText(Omitted()), std::nullopt);
}

TEST_F(Conversions, SingleRoundsToSixDigits) {
  EXPECT_EQ(Form(Float(123.456f)), "123.456");
  EXPECT_EQ(Form(Float(0.001234567f)), "0.00123457");
  EXPECT_EQ(Form(Float(0.0f)), "0");
  EXPECT_EQ(Form(Float(0.1f)), "0.1");
  EXPECT_EQ(Form(Float(1.5f)), "1.5");
  EXPECT_EQ(Form(Float(-2.5f)), "-2.5");
  EXPECT_EQ(Form(Float(16777216.0f)), "1.67772e+007");
  EXPECT_EQ(Form(Float(3e38f)), "3e+038");
  EXPECT_EQ(Form(Float(96187.75f)), "96187.7");
}

TEST_F(Conversions, DoubleUsesThirteenDigits) {
  EXPECT_EQ(Form(DoubleArg(0.1)), "0.1");
  EXPECT_EQ(Form(DoubleArg(1.0 / 3)), "0.3333333333333");
  EXPECT_EQ(Form(DoubleArg(1e20)), "1e+020");
  EXPECT_EQ(Form(DoubleArg(2.5e-9)), "2.5e-009");
  EXPECT_EQ(Form(DoubleArg(-0.5)), "-0.5");
}

TEST_F(Conversions, DateTimeDropsTrailingZeroTime) {
  const double y2000 = 36526.0;  // 1 January 2000
  EXPECT_EQ(Form(Date(y2000)), "2000年1月1日");
  EXPECT_EQ(Form(Date(y2000 + (8 * 3600 + 5) / 86400.0)), "2000年1月1日8时0分5秒");
  EXPECT_EQ(Form(Date(y2000 + (8 * 3600 + 30 * 60) / 86400.0)), "2000年1月1日8时30分");
  EXPECT_EQ(Form(Date(y2000 + 8 / 24.0)), "2000年1月1日8时");
  EXPECT_EQ(Form(Date(36585.0)), "2000年2月29日");
  EXPECT_EQ(Form(Date(61.0)), "1900年3月1日");
  // Negative values: the whole part is the day, the fraction's size the time of day.
  EXPECT_EQ(Form(Date(-1.25)), "1899年12月29日6时");
  // 23:59:59.8 rounds to the next midnight.
  EXPECT_EQ(Form(Date(y2000 + 86399.8 / 86400.0)), "2000年1月2日");
  EXPECT_EQ(Form(Date(-1e9)), "100年1月1日");
  EXPECT_EQ(Form(Date(1e9)), "9999年12月31日");
  EXPECT_EQ(Form(Date(std::nan(""))), "100年1月1日");
}

TEST_F(Conversions, ToTextOfBytesStopsAtZero) {
  ByteSet ab0c(std::string("AB\0C", 4)), empty("");
  EXPECT_EQ(Form(ab0c.Arg()), "AB");
  EXPECT_EQ(ToText(empty.Arg()), std::nullopt);
  EXPECT_EQ(ToText(BytesArg(nullptr)), std::nullopt);
  IntArray numbers{0x44434241, 0x00464545};
  EXPECT_EQ(Form(numbers.Arg(TAG_INT)), "ABCDEEF");
  IntArray texts{0, 0};
  EXPECT_EQ(ToText(texts.Arg(TAG_TEXT)), std::nullopt);
}

TEST_F(Conversions, ToNumberReadsLikeTheClassicReader) {
  EXPECT_EQ(ToNumber(Txt("\xA3\xB1\xA3\xB2.5")), 12.5);  // full-width 1 and 2
  EXPECT_EQ(ToNumber(Txt("\xA3\xAD\xA3\xB3")), -3.0);    // full-width minus
  EXPECT_EQ(ToNumber(Txt("abc")), 0.0);
  EXPECT_EQ(ToNumber(Txt("")), 0.0);
  EXPECT_EQ(ToNumber(Txt(" \t-3.5e2x")), -350.0);
  EXPECT_EQ(ToNumber(Txt("\xA1\xA1"
                         "8080")),
            8080.0);  // full-width blank skipped as white space
  EXPECT_EQ(ToNumber(Txt("1e")), 1.0);
  EXPECT_EQ(ToNumber(Txt(".5")), 0.5);
  EXPECT_EQ(ToNumber(Txt("0x10")), 0.0);
  EXPECT_EQ(ToNumber(Txt("inf")), 0.0);
  EXPECT_EQ(ToNumber(Txt(std::string(300, '1') + "e-298")),
            std::strtod((std::string(300, '1') + "e-298").c_str(), nullptr));
  EXPECT_EQ(ToNumber(MakeArg(TAG_BYTE, 255)), 255.0);
  EXPECT_EQ(ToNumber(MakeArg(TAG_SHORT, 0xFFFF)), -1.0);
  EXPECT_EQ(ToNumber(Long(-5)), -5.0);
  EXPECT_EQ(ToNumber(Float(1.5f)), 1.5);
  EXPECT_EQ(ToNumber(MakeArg(TAG_BOOL, 1)), 1.0);
  EXPECT_EQ(ToNumber(MakeArg(TAG_SUBPTR, 0xFFFFFFFF)), 4294967295.0);
  EXPECT_EQ(ToNumber(Date(36526.0)), 0.0);
  EXPECT_EQ(ToNumber(Omitted()), 0.0);
}

TEST_F(Conversions, ToByteSetGivesStoredBytes) {
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {Txt("ab")})), "ab");
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {Txt("")})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {Int(0x01020304)})), std::string("\x04\x03\x02\x01"));
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {MakeArg(TAG_SHORT, 0x4142)})), "BA");
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {MakeArg(TAG_BYTE, 0)})), std::string(1, '\0'));
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {DoubleArg(1.0)}))->size(), 8u);
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {Date(1.0)}))->size(), 8u);
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {MakeArg(TAG_BOOL, 1)}))->size(), 4u);
  ByteSet xyz("xyz");
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {xyz.Arg()})), "xyz");
  IntArray numbers{0x64636261, 0};
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {numbers.Arg(TAG_INT)})),
            std::string("abcd\0\0\0\0", 8));
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {numbers.Arg(TAG_TEXT)})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {MakeArg(0x00020004, 0x1000)})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdToByteSet, {})), std::nullopt);
}

TEST_F(Conversions, HexTextIsUpperCaseTwosComplement) {
  EXPECT_EQ(Text(Call(kCmdToHexText, {Int(255)})), "FF");
  EXPECT_EQ(Text(Call(kCmdToHexText, {Int(-1)})), "FFFFFFFF");
  EXPECT_EQ(Text(Call(kCmdToHexText, {Int(0)})), "0");
}

}  // namespace
