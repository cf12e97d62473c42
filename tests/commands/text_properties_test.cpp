// The scanning text commands against a small reference model, over thousands of random
// GBK-heavy texts (fixed seed): two-byte characters, full-width blanks, bytes 0x80-0xFF,
// lone first bytes at the end, empty sought texts and every start from -2 to length + 2.
//
// The model first cuts a text into characters, then works on that list, so it shares no
// pointer arithmetic with the commands.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/commands/test_runtime.h"

using namespace testrt;

namespace {

using Opt = std::optional<std::string>;

// One character of a text: its offset and length (1 or 2). A lone first byte before the end
// is the last character and is marked.
struct Char {
  size_t at;
  size_t len;
  bool lone;
};

// The characters of s from byte `from` on, as the scanning commands see them.
std::vector<Char> Chars(const std::string& s, size_t from = 0) {
  std::vector<Char> out;
  for (size_t i = from; i < s.size();) {
    if (static_cast<uint8_t>(s[i]) >= 0x80) {
      if (i + 1 == s.size()) {
        out.push_back({i, 1, true});
        break;
      }
      out.push_back({i, 2, false});
      i += 2;
    } else {
      out.push_back({i, 1, false});
      i += 1;
    }
  }
  return out;
}

bool IsBlank(const std::string& s, const Char& c) {
  return (c.len == 1 && s[c.at] == ' ') || (c.len == 2 && s.compare(c.at, 2, "\xA1\xA1") == 0);
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameAt(const std::string& s, size_t at, const std::string& sought, bool fold) {
  if (at + sought.size() > s.size()) return false;
  for (size_t k = 0; k < sought.size(); ++k) {
    char a = s[at + k], b = sought[k];
    if (fold ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

// FindText / FindTextReverse: the window, then matches at character boundaries counted from
// the window start that lie wholly inside the window.
int32_t ModelFind(const std::string& s, const std::string& sought, std::optional<int32_t> start,
                  bool fold, bool reverse) {
  const int64_t L = s.size();
  int64_t from = 0, to = L;
  if (!reverse) {
    if (start) from = std::max<int64_t>(*start - 1, 0);
  } else {
    to = start ? std::min<int64_t>(std::max<int64_t>(*start - 1, 0), L) : L;
  }
  if (from >= to) return -1;
  if (sought.empty()) return 1;
  int32_t found = -1;
  for (const Char& c : Chars(s, from)) {
    if (static_cast<int64_t>(c.at + sought.size()) > to) break;
    if (SameAt(s, c.at, sought, fold)) {
      found = static_cast<int32_t>(c.at) + 1;
      if (!reverse) break;
    }
  }
  return found;
}

// ReplaceSubtext: a character-by-character rebuild from the start offset.
std::string ModelReplace(const std::string& s, const std::string& sought, const std::string& repl,
                         std::optional<int32_t> start, std::optional<int32_t> count, bool fold) {
  size_t pos = start ? static_cast<size_t>(std::max<int64_t>(int64_t{*start} - 1, 0)) : 0;
  int64_t left = count ? *count : -1;
  if (s.empty() || sought.empty() || pos >= s.size() || left == 0) return s;
  std::string out = s.substr(0, pos);
  size_t i = pos;
  while (i + sought.size() <= s.size()) {
    if (SameAt(s, i, sought, fold)) {
      out += repl;
      i += sought.size();
      if (left > 0 && --left == 0) break;
      continue;
    }
    Char c = Chars(s, i).front();
    if (c.lone) return out;  // dropped, nothing follows
    out += s.substr(i, c.len);
    i += c.len;
  }
  return out + s.substr(i);
}

// SplitText: members between delimiter matches at character boundaries.
std::vector<Opt> ModelSplit(const std::string& s, const std::string& delim,
                            std::optional<int32_t> maxParts) {
  std::vector<Opt> out;
  int64_t parts = maxParts ? std::max(*maxParts, 0) : -1;
  auto member = [&out](const std::string& m) { out.push_back(m.empty() ? Opt() : Opt(m)); };
  if (s.empty() || parts == 0) return out;
  if (delim.empty()) {
    member(s);
    return out;
  }
  size_t seg = 0, i = 0;
  while (i + delim.size() <= s.size()) {
    if (SameAt(s, i, delim, false)) {
      member(s.substr(seg, i - seg));
      i += delim.size();
      seg = i;
      if (parts > 0 && --parts == 0) return out;
      continue;
    }
    Char c = Chars(s, i).front();
    if (c.lone) break;
    i += c.len;
  }
  if (seg < s.size()) member(s.substr(seg));
  return out;
}

std::string ModelTrim(const std::string& s) {
  std::vector<Char> cs = Chars(s);
  size_t b = 0;
  while (b < cs.size() && IsBlank(s, cs[b])) ++b;
  if (!cs.empty() && cs.back().lone) {
    size_t cut = cs.back().at;
    return b < cs.size() ? s.substr(cs[b].at, cut - cs[b].at) : "";
  }
  size_t e = cs.size();
  while (e > b && IsBlank(s, cs[e - 1])) --e;
  if (e == b) return "";
  return s.substr(cs[b].at, cs[e - 1].at + cs[e - 1].len - cs[b].at);
}

std::string ModelRemoveBlanks(const std::string& s) {
  std::string out;
  for (const Char& c : Chars(s)) {
    if (!c.lone && !IsBlank(s, c)) out += s.substr(c.at, c.len);
  }
  return out;
}

std::string ModelCase(const std::string& s, bool upper) {
  std::string out;
  for (const Char& c : Chars(s)) {
    std::string piece = s.substr(c.at, c.len);
    if (c.len == 1 && !c.lone) {
      char& ch = piece[0];
      if (upper && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
      if (!upper && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    }
    out += piece;
  }
  return out;
}

// Random GBK-heavy material: letters of both cases, blanks of both widths, commas, tabs, the
// bytes A1 and B0 that build blanks and common characters, and any byte 0x80-0xFF.
class Material {
 public:
  explicit Material(uint32_t seed) : rng_(seed) {}

  std::string Text(size_t most) {
    std::string s;
    size_t n = Pick(most + 1);
    while (s.size() < n) s += Piece();
    return s;
  }
  // Sought texts: empty, random, or cut from the text at any byte (second bytes included).
  std::string Sought(const std::string& text) {
    switch (Pick(4)) {
      case 0: return "";
      case 1: return Text(3);
      default: {
        if (text.empty()) return Text(2);
        size_t at = Pick(text.size());
        return text.substr(at, 1 + Pick(3));
      }
    }
  }
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

 private:
  std::string Piece() {
    static const char* const kPieces[] = {"a",
                                          "A",
                                          "b",
                                          "B",
                                          ",",
                                          " ",
                                          "\t",
                                          "\xA1\xA1",
                                          "\xA1",
                                          "\xB0",
                                          "\xB0\xA1",
                                          "\x81"
                                          "a",
                                          "\x81"
                                          "A",
                                          "\r\n"};
    if (Pick(5) == 0) return std::string(1, static_cast<char>(0x80 + Pick(128)));
    return kPieces[Pick(sizeof(kPieces) / sizeof(kPieces[0]))];
  }
  std::mt19937 rng_;
};

constexpr int kTexts = 3000;

// A text as the commands meet it in a program: in a block of the runtime's heap (in a guarded
// build the block's last byte, the terminator, ends a page, so a read past it faults), and
// `shift` bytes into the block, so that the text starts at every place in a word.
class HeapText {
 public:
  HeapText(const std::string& s, size_t shift) : shift_(shift) {
    std::string padded = std::string(shift, '#') + s;
    block_ = Call(kCmdTextLeft, {Txt(padded), Int(static_cast<int32_t>(padded.size()))}).text;
  }
  HeapText(const HeapText&) = delete;
  HeapText& operator=(const HeapText&) = delete;
  ~HeapText() { FreeBlock(block_); }
  ArgRecord Arg() const { return Txt(block_ ? block_ + shift_ : ""); }

 private:
  size_t shift_;
  const char* block_;
};

class TextProperties : public LeakCheckedTest {};

ArgRecord OptInt(std::optional<int32_t> v) { return v ? Int(*v) : Omitted(); }

// Every start from -2 to length + 2, and the omitted start.
std::vector<std::optional<int32_t>> Starts(const std::string& s) {
  std::vector<std::optional<int32_t>> v{std::nullopt};
  for (int32_t k = -2; k <= static_cast<int32_t>(s.size()) + 2; ++k) v.push_back(k);
  return v;
}

TEST_F(TextProperties, FindBothDirectionsMatchModel) {
  Material m(20240601);
  for (int t = 0; t < kTexts; ++t) {
    std::string s = m.Text(16);
    std::string q = m.Sought(s);
    HeapText held(s, t % 4);
    for (auto start : Starts(s)) {
      for (bool fold : {false, true}) {
        for (bool reverse : {false, true}) {
          auto got = Call(reverse ? kCmdFindTextReverse : kCmdFindText,
                          {held.Arg(), Txt(q), OptInt(start), Bool(fold)})
                         .intValue;
          ASSERT_EQ(got, ModelFind(s, q, start, fold, reverse))
              << "text " << ::testing::PrintToString(s) << " sought " << ::testing::PrintToString(q)
              << " start " << start.value_or(0) << " fold " << fold << " reverse " << reverse;
        }
      }
    }
  }
}

TEST_F(TextProperties, ReplaceSubtextMatchesModel) {
  Material m(77);
  for (int t = 0; t < kTexts; ++t) {
    std::string s = m.Text(16);
    std::string q = m.Sought(s);
    std::string r = m.Text(3);
    std::optional<int32_t> count;
    if (m.Pick(2)) count = static_cast<int32_t>(m.Pick(5)) - 1;
    bool caseSensitive = m.Pick(2);
    HeapText held(s, t % 4);
    for (auto start : Starts(s)) {
      auto got = TakeText(Call(kCmdReplaceSubtext, {held.Arg(), Txt(q), Txt(r), OptInt(start),
                                                     OptInt(count), Bool(caseSensitive)}));
      std::string want = ModelReplace(s, q, r, start, count, !caseSensitive);
      ASSERT_EQ(got.value_or(""), want)
          << "text " << ::testing::PrintToString(s) << " sought " << ::testing::PrintToString(q)
          << " start " << start.value_or(0) << " count " << count.value_or(-99);
    }
  }
}

TEST_F(TextProperties, SplitTextMatchesModel) {
  Material m(4242);
  for (int t = 0; t < kTexts; ++t) {
    std::string s = m.Text(20);
    std::string d = m.Pick(3) ? std::string(m.Pick(2) ? "," : "\r\n") : m.Sought(s);
    std::optional<int32_t> most;
    if (m.Pick(2)) most = static_cast<int32_t>(m.Pick(6)) - 1;
    HeapText held(s, t % 4);
    ASSERT_EQ(TakeTextArray(Call(kCmdSplitText, {held.Arg(), Txt(d), OptInt(most)})),
              ModelSplit(s, d, most))
        << "text " << ::testing::PrintToString(s) << " delimiter " << ::testing::PrintToString(d);
  }
}

TEST_F(TextProperties, BlanksAndCaseMatchModel) {
  Material m(9);
  for (int t = 0; t < kTexts; ++t) {
    std::string s = m.Text(24);
    SCOPED_TRACE(::testing::PrintToString(s));
    ASSERT_EQ(TakeText(Call(kCmdTrimSpaces, {Txt(s)})).value_or(""), ModelTrim(s));
    ASSERT_EQ(TakeText(Call(kCmdRemoveAllSpaces, {Txt(s)})).value_or(""), ModelRemoveBlanks(s));
    ASSERT_EQ(TakeText(Call(kCmdToUpper, {Txt(s)})).value_or(""), ModelCase(s, true));
    ASSERT_EQ(TakeText(Call(kCmdToLower, {Txt(s)})).value_or(""), ModelCase(s, false));
  }
}

// Results longer than the commands' inline buffer: replacements that leave the result shorter,
// longer than the room set aside for it, or stop at a count; long members; long scans.
TEST_F(TextProperties, LongTextsMatchModel) {
  Material m(31337);
  const std::string kReplacements[] = {"", "<>", "<==========>"};
  for (int t = 0; t < 90; ++t) {
    std::string s = m.Text(3000);
    std::string q = m.Sought(s);
    HeapText held(s, t % 4);
    const std::string& r = kReplacements[t % 3];
    std::optional<int32_t> count;
    if (t % 4 == 3) count = static_cast<int32_t>(1 + m.Pick(60));
    bool caseSensitive = t % 2;
    auto got = TakeText(Call(kCmdReplaceSubtext, {held.Arg(), Txt(q), Txt(r), Omitted(),
                                                   OptInt(count), Bool(caseSensitive)}));
    ASSERT_EQ(got.value_or(""), ModelReplace(s, q, r, std::nullopt, count, !caseSensitive))
        << "sought " << ::testing::PrintToString(q) << " replacement " << r;
    ASSERT_EQ(TakeText(Call(kCmdRemoveAllSpaces, {held.Arg()})).value_or(""),
              ModelRemoveBlanks(s));
    ASSERT_EQ(TakeTextArray(Call(kCmdSplitText, {held.Arg(), Txt(q)})),
              ModelSplit(s, q, std::nullopt));
    ASSERT_EQ(Call(kCmdFindTextReverse, {held.Arg(), Txt(q)}).intValue,
              ModelFind(s, q, std::nullopt, false, true));
  }
  // Everything replaced by nothing: the empty text, and the room set aside is released.
  EXPECT_EQ(TakeText(Call(kCmdReplaceSubtext, {Txt(std::string(1000, 'a')), Txt("a"), Omitted(),
                                                Omitted(), Omitted(), Bool(true)})),
            std::nullopt);
}

}  // namespace
