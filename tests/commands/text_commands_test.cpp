// Edge cases of the text and byte-set commands, called through their command entries.
#include <gtest/gtest.h>

#include "tests/commands/test_runtime.h"

using namespace testrt;

namespace {

class TextCommands : public LeakCheckedTest {};

// 啊 is B0 A1, 阿 is B0 A2; "盎" (B0 BB) and "哎" (B0 A5) are also used below.
const char kHan[] = "\xB0\xA1";

TEST_F(TextCommands, TextLengthCountsBytes) {
  EXPECT_EQ(Call(kCmdTextLength, {Txt("")}).intValue, 0);
  EXPECT_EQ(Call(kCmdTextLength, {Txt("ab\xB0\xA1")}).intValue, 4);
  EXPECT_EQ(Call(kCmdTextLength, {Txt("a\xB0")}).intValue, 2);
  // A text argument with a null address or a wrong tag reads as the empty text.
  EXPECT_EQ(Call(kCmdTextLength, {MakeArg(TAG_TEXT, 0)}).intValue, 0);
  EXPECT_EQ(Call(kCmdTextLength, {Int(5)}).intValue, 0);
  EXPECT_EQ(Call(kCmdTextLength, {}).intValue, 0);
}

TEST_F(TextCommands, LeftRightCutBytesAndClamp) {
  EXPECT_EQ(TakeText(Call(kCmdTextLeft, {Txt("abc"), Int(0)})), std::nullopt);
  EXPECT_EQ(TakeText(Call(kCmdTextLeft, {Txt("abc"), Int(-3)})), std::nullopt);
  EXPECT_EQ(Text(Call(kCmdTextLeft, {Txt("abc"), Int(2)})), "ab");
  EXPECT_EQ(Text(Call(kCmdTextLeft, {Txt("abc"), Int(99)})), "abc");
  // Counting commands cut a two-byte character and keep the lone first byte.
  EXPECT_EQ(Text(Call(kCmdTextLeft, {Txt("a\xB0\xA1"), Int(2)})), "a\xB0");
  EXPECT_EQ(Text(Call(kCmdTextRight, {Txt("a\xB0\xA1"), Int(1)})), "\xA1");
  EXPECT_EQ(Text(Call(kCmdTextRight, {Txt("abc"), Int(2)})), "bc");
  EXPECT_EQ(Text(Call(kCmdTextRight, {Txt("abc"), Int(0x7FFFFFFF)})), "abc");
  EXPECT_EQ(TakeText(Call(kCmdTextRight, {Txt("abc"), Int(0)})), std::nullopt);
  EXPECT_EQ(TakeText(Call(kCmdTextRight, {Txt(""), Int(5)})), std::nullopt);
}

TEST_F(TextCommands, TextMidStartsAtBytePosition) {
  EXPECT_EQ(Text(Call(kCmdTextMid, {Txt("abcdef"), Int(2), Int(3)})), "bcd");
  EXPECT_EQ(Text(Call(kCmdTextMid, {Txt("abcdef"), Int(5), Int(10)})), "ef");
  EXPECT_EQ(TakeText(Call(kCmdTextMid, {Txt("abc"), Int(0), Int(2)})), std::nullopt);
  EXPECT_EQ(TakeText(Call(kCmdTextMid, {Txt("abc"), Int(4), Int(2)})), std::nullopt);
  EXPECT_EQ(TakeText(Call(kCmdTextMid, {Txt("abc"), Int(1), Int(0)})), std::nullopt);
  EXPECT_EQ(TakeText(Call(kCmdTextMid, {Txt("abc"), Int(-0x7FFFFFFF - 1), Int(2)})), std::nullopt);
  EXPECT_EQ(Text(Call(kCmdTextMid, {Txt("\xB0\xA1\xB0\xA2"), Int(2), Int(2)})), "\xA1\xB0");
}

TEST_F(TextCommands, CharAndSpaceText) {
  EXPECT_EQ(Text(Call(kCmdCharText, {MakeArg(TAG_BYTE, 'A')})), "A");
  EXPECT_EQ(Text(Call(kCmdCharText, {MakeArg(TAG_BYTE, 0xB0)})), "\xB0");
  EXPECT_EQ(TakeText(Call(kCmdCharText, {MakeArg(TAG_BYTE, 0)})), std::nullopt);
  EXPECT_EQ(Text(Call(kCmdCharText, {Int(0x141)})), "A");  // only the low byte counts
  EXPECT_EQ(Text(Call(kCmdSpaceText, {Int(3)})), "   ");
  EXPECT_EQ(TakeText(Call(kCmdSpaceText, {Int(0)})), std::nullopt);
  EXPECT_EQ(TakeText(Call(kCmdSpaceText, {Int(-1)})), std::nullopt);
  // A count of another numeric kind goes through the runtime's numeric conversion.
  EXPECT_EQ(Text(Call(kCmdSpaceText, {DoubleArg(2.9)})), "  ");
  EXPECT_EQ(RequestCount(kSvcToInt), 1);
}

TEST_F(TextCommands, FindTextWindowsAndCharacterBoundaries) {
  EXPECT_EQ(Call(kCmdFindText, {Txt("abc"), Txt(""), Int(3)}).intValue, 1);
  EXPECT_EQ(Call(kCmdFindText, {Txt("abc"), Txt(""), Int(4)}).intValue, -1);
  EXPECT_EQ(Call(kCmdFindText, {Txt(""), Txt("")}).intValue, -1);
  EXPECT_EQ(Call(kCmdFindText, {Txt("abcabc"), Txt("bc")}).intValue, 2);
  EXPECT_EQ(Call(kCmdFindText, {Txt("abcabc"), Txt("bc"), Int(3)}).intValue, 5);
  EXPECT_EQ(Call(kCmdFindText, {Txt("abcabc"), Txt("bc"), Int(-7)}).intValue, 2);
  EXPECT_EQ(Call(kCmdFindText, {Txt("abc"), Txt("abcd")}).intValue, -1);

  // B0 A1 then A1: the sought A1 A1 only exists across a character boundary.
  EXPECT_EQ(Call(kCmdFindText, {Txt("\xB0\xA1\xA1\xA1"), Txt("\xA1\xA1")}).intValue, 3);
  // The second byte 'A' of 81 41 is not a character of its own.
  EXPECT_EQ(Call(kCmdFindText, {Txt("\x81"
                                     "A"),
                                 Txt("A")})
                .intValue,
            -1);
  // A start on a second byte begins the scan right there, unaligned.
  EXPECT_EQ(Call(kCmdFindText, {Txt("\x81"
                                     "A"),
                                 Txt("A"), Int(2)})
                .intValue,
            2);
  // A lone first byte at the end is still tried, then the scan stops.
  EXPECT_EQ(Call(kCmdFindText, {Txt("ab\xB0"), Txt("\xB0")}).intValue, 3);
}

TEST_F(TextCommands, FindTextIgnoreCaseOnlyForExactlyOne) {
  const char* text = "Accept: x";
  EXPECT_EQ(Call(kCmdFindText, {Txt(text), Txt("accept:"), Int(1), Bool(true)}).intValue, 1);
  EXPECT_EQ(Call(kCmdFindText, {Txt(text), Txt("accept:"), Int(1), Bool(false)}).intValue, -1);
  EXPECT_EQ(Call(kCmdFindText, {Txt(text), Txt("accept:"), Int(1), Int(2)}).intValue, -1);
  EXPECT_EQ(Call(kCmdFindText, {Txt(text), Txt("accept:"), Omitted(), Omitted()}).intValue, -1);
  // Folding applies to every byte, second bytes of two-byte characters included.
  EXPECT_EQ(Call(kCmdFindText, {Txt("\x81\x41"), Txt("\x81\x61"), Int(1), Bool(true)}).intValue,
            1);
}

TEST_F(TextCommands, FindTextReverseSearchesBeforeStart) {
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("aaaa"), Txt("aa")}).intValue, 3);
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("aaaa"), Txt("aa"), Int(4)}).intValue, 2);
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("aaaa"), Txt("aa"), Int(1)}).intValue, -1);
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("aaaa"), Txt("aa"), Int(100)}).intValue, 3);
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("abc"), Txt(""), Int(2)}).intValue, 1);
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("abc"), Txt(""), Int(1)}).intValue, -1);
  EXPECT_EQ(
      Call(kCmdFindTextReverse, {Txt("x\xB0\xA1y\xB0\xA1"), Txt(kHan), Omitted(), Bool(false)})
          .intValue,
      5);
  EXPECT_EQ(Call(kCmdFindTextReverse, {Txt("AbAB"), Txt("ab"), Omitted(), Bool(true)}).intValue,
            3);
}

TEST_F(TextCommands, ReplaceTextClampsStartAndLength) {
  EXPECT_EQ(Text(Call(kCmdReplaceText, {Txt("abc"), Int(100), Int(1), Txt("x")})), "abcx");
  EXPECT_EQ(Text(Call(kCmdReplaceText, {Txt("abc"), Int(2), Int(-5), Txt("x")})), "axbc");
  EXPECT_EQ(Text(Call(kCmdReplaceText, {Txt("abc"), Int(-3), Int(1), Txt("x")})), "xbc");
  EXPECT_EQ(Text(Call(kCmdReplaceText, {Txt("abc"), Int(2), Int(100)})), "a");
  EXPECT_EQ(TakeText(Call(kCmdReplaceText, {Txt("abc"), Int(1), Int(3)})), std::nullopt);
  EXPECT_EQ(Text(Call(kCmdReplaceText, {Txt("http://h/"), Int(1), Int(7), Omitted()})), "h/");
}

TEST_F(TextCommands, ReplaceSubtextCountsAndStart) {
  auto replace = [](const char* text, std::initializer_list<ArgRecord> rest) {
    std::vector<ArgRecord> a{Txt(text)};
    a.insert(a.end(), rest);
    return Text(CallWith(kCmdReplaceSubtext, a));
  };
  EXPECT_EQ(replace("a,b,c", {Txt(","), Txt(";"), Omitted(), Int(1), Bool(true)}), "a;b,c");
  EXPECT_EQ(replace("a,b,c", {Txt(","), Txt(";"), Omitted(), Int(0), Bool(true)}), "a,b,c");
  EXPECT_EQ(replace("a,b,c", {Txt(","), Txt(";"), Omitted(), Int(-1), Bool(true)}), "a;b;c");
  EXPECT_EQ(replace("a,b,c", {Txt(","), Txt(";"), Int(3), Omitted(), Bool(true)}), "a,b;c");
  EXPECT_EQ(replace("a,b,c", {Txt(","), Txt(";"), Int(6), Omitted(), Bool(true)}), "a,b,c");
  EXPECT_EQ(replace("xABCx", {Txt("abc"), Txt("-"), Omitted(), Omitted(), Bool(false)}), "x-x");
  EXPECT_EQ(replace("xABCx", {Txt("abc"), Txt("-"), Omitted(), Omitted(), Bool(true)}), "xABCx");
  // The replacement is never scanned again, and an omitted replacement deletes.
  EXPECT_EQ(replace("aaa", {Txt("a"), Txt("aa"), Omitted(), Omitted(), Bool(true)}), "aaaaaa");
  EXPECT_EQ(
      replace("https://h/https://", {Txt("https://"), Omitted(), Omitted(), Omitted(), Bool(true)}),
      "h/");
  EXPECT_EQ(TakeText(Call(kCmdReplaceSubtext,
                          {Txt("aa"), Txt("a"), Omitted(), Omitted(), Omitted(), Bool(true)})),
            std::nullopt);
}

TEST_F(TextCommands, SplitTextMembers) {
  using M = std::vector<std::optional<std::string>>;
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("a,,b,"), Txt(",")})),
            (M{"a", std::nullopt, "b"}));
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt(",a")})), (M{std::nullopt, "a"}));
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("a,b,c"), Omitted(), Int(2)})), (M{"a", "b"}));
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("a,b,c"), Omitted(), Int(-1)})), M{});
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt(""), Txt(",")})), M{});
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("a,b"), Txt("")})), (M{"a,b"}));
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("id1\r\n\r\nid2\r\n"), Txt("\r\n")})),
            (M{"id1", std::nullopt, "id2"}));
  // A lone LF does not split at CR LF; a delimiter inside a two-byte character is no delimiter.
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("a\nb"), Txt("\r\n")})), (M{"a\nb"}));
  EXPECT_EQ(TakeTextArray(Call(kCmdSplitText, {Txt("\x81,x,y"), Txt(",")})), (M{"\x81,x", "y"}));
}

TEST_F(TextCommands, TrimAndRemoveBlanks) {
  EXPECT_EQ(Text(Call(kCmdTrimSpaces, {Txt("\xA1\xA1 a b\xA1\xA1 ")})), "a b");
  EXPECT_EQ(Text(Call(kCmdTrimSpaces, {Txt("\ta\t")})), "\ta\t");
  EXPECT_EQ(TakeText(Call(kCmdTrimSpaces, {Txt(" \xA1\xA1 ")})), std::nullopt);
  // A1 A1 split across a character boundary (B0 A1, A1 ...) is not a blank.
  EXPECT_EQ(Text(Call(kCmdTrimSpaces, {Txt("\xB0\xA1\xA1\x41")})), "\xB0\xA1\xA1\x41");
  // A lone first byte at the end is dropped; the blanks before it stay.
  EXPECT_EQ(Text(Call(kCmdTrimSpaces, {Txt(" a \xB0")})), "a ");
  EXPECT_EQ(Text(Call(kCmdRemoveAllSpaces, {Txt(" a\xA1\xA1 b \xB0\xA1")})), "ab\xB0\xA1");
  EXPECT_EQ(Text(Call(kCmdRemoveAllSpaces, {Txt("a b\xB0")})), "ab");
  EXPECT_EQ(TakeText(Call(kCmdRemoveAllSpaces, {Txt("  ")})), std::nullopt);
}

TEST_F(TextCommands, CaseChangesLeaveTwoByteCharacters) {
  EXPECT_EQ(Text(Call(kCmdToUpper, {Txt("ab\x81"
                                         "a"
                                         "c\xB0")})),
            "AB\x81"
            "a"
            "C\xB0");
  EXPECT_EQ(Text(Call(kCmdToLower, {Txt("AB\x81"
                                         "A"
                                         "Z[")})),
            "ab\x81"
            "A"
            "z[");
  EXPECT_EQ(TakeText(Call(kCmdToUpper, {Txt("")})), std::nullopt);
}

TEST_F(TextCommands, CompareTextByCharacters) {
  auto cmp = [](const char* a, const char* b, bool cs) {
    return Call(kCmdCompareText, {Txt(a), Txt(b), Bool(cs)}).intValue;
  };
  EXPECT_EQ(cmp("abc", "abc", true), 0);
  EXPECT_LT(cmp("abc", "abd", true), 0);
  EXPECT_GT(cmp("abc", "ab", true), 0);
  EXPECT_EQ(cmp("HTTP://", "http://", false), 0);
  EXPECT_NE(cmp("HTTP://", "http://", true), 0);
  // Second bytes are not folded: 81 41 and 81 61 differ even without case sensitivity.
  EXPECT_NE(cmp("\x81\x41", "\x81\x61", false), 0);
  // A two-byte character orders above every single byte.
  EXPECT_GT(cmp("\xB0\xA1", "z", true), 0);
  EXPECT_LT(cmp("\xB0\xA1", "\xB0\xA2", true), 0);
}

TEST_F(TextCommands, ByteSets) {
  ByteSet abc("abc"), empty("");
  EXPECT_EQ(Call(kCmdByteSetLength, {abc.Arg()}).intValue, 3);
  EXPECT_EQ(Call(kCmdByteSetLength, {BytesArg(nullptr)}).intValue, 0);
  EXPECT_EQ(TakeBytes(Call(kCmdByteSetLeft, {abc.Arg(), Int(2)})), "ab");
  EXPECT_EQ(TakeBytes(Call(kCmdByteSetLeft, {abc.Arg(), Int(3)})), "abc");
  EXPECT_EQ(TakeBytes(Call(kCmdByteSetLeft, {abc.Arg(), Int(-1)})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdByteSetLeft, {abc.Arg(), Int(0)})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdByteSetLeft, {empty.Arg(), Int(4)})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdZeroByteSet, {Int(3)})), std::string(3, '\0'));
  EXPECT_EQ(TakeBytes(Call(kCmdZeroByteSet, {Int(0)})), std::nullopt);
  EXPECT_EQ(TakeBytes(Call(kCmdZeroByteSet, {Int(-5)})), std::nullopt);
}

}  // namespace

namespace {

// Every command tolerates a caller that passes fewer records than it reads, or none at all
// with a null list: the missing arguments read as omitted, and results stay well-formed.
TEST(AllCommands, MissingArgumentsReadAsOmitted) {
  Attach();
  const int32_t live = LiveBlocks();
  for (uint32_t id = 0; id < kCoreCommandCount; ++id) {
    if (id == kCmdMessageBox) continue;  // would wait for a user
    ArgRecord unread{};
    const std::pair<int32_t, ArgRecord*> calls[] = {{4, nullptr}, {0, &unread}, {-1, &unread}};
    for (auto [count, list] : calls) {
      ArgRecord result{};
      if (id == kCmdSendUnitMessage) {
        // The omitted unit names no loaded unit: the runtime's fatal error.
        EXPECT_THROW(kCoreCommands[id](&result, count, list), FatalError);
        continue;
      }
      kCoreCommands[id](&result, count, list);
      if (id == kCmdSplitText) {
        EXPECT_TRUE(TakeTextArray(result).empty());
      } else if (id == kCmdOpenMemoryFile) {
        Call(kCmdCloseFile, {Int(result.intValue)});
      } else if (id == kCmdIsEndOfFile) {
        EXPECT_EQ(result.intValue, 1) << "an unknown file is at its end";
      } else if (id == kCmdToHexText) {
        EXPECT_EQ(Text(result), "0");
      } else if (id == kCmdFindText || id == kCmdFindTextReverse) {
        EXPECT_EQ(result.intValue, -1);
      } else {
        EXPECT_EQ(result.words[0], 0u) << "command " << id;
      }
    }
  }
  EXPECT_EQ(LiveBlocks(), live);
}

}  // namespace
