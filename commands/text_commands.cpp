// Text and byte-set commands: measuring, cutting, searching, replacing, splitting, trimming
// and re-casing GBK texts.
//
// Two families of rules meet here. The counting commands (TextLength, TextLeft, TextRight,
// TextMid, ReplaceText) work on bytes and may cut a two-byte character in two. The scanning
// commands step one character at a time: a byte of 0x80 or more takes the byte after it along,
// so a second byte is never matched, split or folded on its own, and a first byte directly
// before the terminator (a lone byte) ends the scan. The searches of FindText, FindTextReverse,
// ReplaceSubtext and SplitText keep exactly that result without stepping through every
// character (Occurrences below). Every command makes one pass over its input and hands back a
// new exact block, or null for an empty result.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"

namespace corelib {

namespace {

// Word-at-a-time byte tests. A word holds four bytes (lanes); kLaneOnes * b repeats byte b
// in every lane.
constexpr uint32_t kLaneOnes = 0x01010101u;
constexpr uint32_t kLaneHighs = 0x80808080u;

// Marks each zero lane of x in its high bit. A borrow can also mark a lane above a zero lane,
// never one below it, so the lowest marked lane is always a true zero byte.
constexpr uint32_t ZeroLanes(uint32_t x) { return (x - kLaneOnes) & ~x & kLaneHighs; }

// The byte offset of the lowest marked lane (lanes in address order, little-endian).
inline uint32_t LowestLane(uint32_t marks) {
  return static_cast<uint32_t>(__builtin_ctz(marks)) >> 3;
}

// The length of a zero-terminated text. After the bytes up to the first word boundary it reads
// whole aligned words; an aligned word never crosses a page boundary, so reading the rest of
// the word that holds the terminator cannot fault.
uint32_t TextSize(const char* text) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
  for (; reinterpret_cast<uintptr_t>(p) & 3; ++p) {
    if (*p == 0) return static_cast<uint32_t>(p - reinterpret_cast<const uint8_t*>(text));
  }
  for (;; p += 4) {
    uint32_t word;
    std::memcpy(&word, p, 4);
    if (uint32_t zeros = ZeroLanes(word)) {
      return static_cast<uint32_t>(p + LowestLane(zeros) - reinterpret_cast<const uint8_t*>(text));
    }
  }
}

// True when p starts a character, given a character start `known` at or before p. The byte
// after one below 0x80 always starts a character, whether that byte was a character or a
// second byte; so only the run of bytes of 0x80 or more directly before p (back to `known`)
// decides: they pair up as characters, and p starts one when the run has even length. The run
// is measured four bytes at a time while they lie after `known`.
inline bool StartsCharacter(const uint8_t* known, const uint8_t* p) {
  const uint8_t* q = p;  // start of the run
  while (q - known >= 4) {
    uint32_t word;
    std::memcpy(&word, q - 4, 4);
    if (uint32_t below = ~word & kLaneHighs) {
      // The highest marked lane is the last byte below 0x80; the lanes above it are the run.
      q -= static_cast<uint32_t>(__builtin_clz(below)) >> 3;
      return ((p - q) & 1) == 0;
    }
    q -= 4;
  }
  while (q > known && IsLead(q[-1])) --q;
  return ((p - q) & 1) == 0;
}

// A text argument as bytes and length.
struct Bytes {
  const uint8_t* p;
  uint32_t n;
};

Bytes TextBytes(const Args& a, int32_t i) {
  const char* t = a.Text(i);
  return {reinterpret_cast<const uint8_t*>(t), TextSize(t)};
}

// The blank characters: the ASCII space and the full-width space A1 A1. Returns the blank's
// length at p (1 or 2), or 0 when p holds no blank.
inline uint32_t BlankAt(const uint8_t* p) {
  if (p[0] == 0x20) return 1;
  if (p[0] == 0xA1 && p[1] == 0xA1) return 2;
  return 0;
}

// The sought text prepared once for repeated comparisons at character boundaries, with the
// byte values that can match each of its first two bytes: the byte itself, or with folding
// both cases of a letter (0 where the text has no second byte).
struct Matcher {
  const uint8_t* sought;
  uint32_t length;             // the sought text's length, in bytes
  bool fold;
  uint8_t openingBytes[2][2];  // [byte 0 or 1][the byte as folded, its other case]

  Matcher(const uint8_t* s, uint32_t len, bool ignoreCase)
      : sought(s), length(len), fold(ignoreCase) {
    for (uint32_t i = 0; i < 2; ++i) {
      uint8_t b = i < len ? (fold ? FoldAscii(s[i]) : s[i]) : 0;
      openingBytes[i][0] = b;
      openingBytes[i][1] = fold && b >= 'a' && b <= 'z' ? b - 32 : b;
    }
  }

  // True when the bytes after the first at p equal the rest of the sought text (length >= 1); the
  // first byte was matched by the search. With folding, ASCII letters are folded on both
  // sides, second bytes of two-byte characters included.
  bool RestAt(const uint8_t* p) const {
    if (fold) {
      for (uint32_t i = 1; i < length; ++i) {
        if (FoldAscii(p[i]) != FoldAscii(sought[i])) return false;
      }
    } else {
      for (uint32_t i = 1; i < length; ++i) {
        if (p[i] != sought[i]) return false;
      }
    }
    return true;
  }
};

// The occurrences of a sought text at character boundaries in [from, end), left to right,
// where `from` counts as a character start. Rather than stepping through every character, it
// looks at the text a word at a time for places that can begin the sought text (its first
// byte, followed by its second where that lies in the same word), compares the sought text
// there, and only for a match decides from the bytes just before it whether it starts a
// character. That decision reads back at most to a known character start, which then moves up
// to the match, so every byte is read back at most once. Words are read whole and aligned; an
// aligned word never crosses a page boundary, so the bytes of a word that lie outside the
// window (before `from`, after the terminator) can be read without fault; they are never taken
// as occurrences.
class Occurrences {
 public:
  Occurrences(const uint8_t* from, const uint8_t* end, const Matcher& matcher)
      : matcher_(matcher),
        firstLanes_(matcher.openingBytes[0][0] * kLaneOnes),
        firstOtherCaseLanes_(matcher.openingBytes[0][1] * kLaneOnes),
        secondLanes_(matcher.openingBytes[1][0] * kLaneOnes),
        secondOtherCaseLanes_(matcher.openingBytes[1][1] * kLaneOnes),
        pairs_(matcher.length >= 2 ? 0x80000000u : ~0u),
        limit_(static_cast<uint32_t>(end - from) >= matcher.length ? end - matcher.length + 1
                                                                   : from) {
    ResumeAt(from);
  }

  // The next occurrence at or after the cursor, or null when none is left. The scan goes on
  // one byte after it (occurrences may overlap) unless ResumeAt moves it.
  const uint8_t* Next() {
    for (;;) {
      while (hits_ == 0) {
        word_ += 4;
        if (word_ >= limit_) return nullptr;
        hits_ = Hits(word_);
      }
      const uint8_t* c = word_ + LowestLane(hits_);
      hits_ &= hits_ - 1;
      if (c >= limit_) return nullptr;
      // A borrow can mark a lane that holds neither byte; the byte itself decides.
      if (*c != matcher_.openingBytes[0][0] && *c != matcher_.openingBytes[0][1]) continue;
      if (!matcher_.RestAt(c)) continue;
      if (!StartsCharacter(known_, c)) {
        known_ = c + 1;  // c is a second byte: the next character starts after it
        continue;
      }
      known_ = c;
      return c;
    }
  }

  // Goes on at p, which counts as a character start: the scan restarts after an occurrence
  // that was consumed.
  void ResumeAt(const uint8_t* p) {
    known_ = p;
    const uint32_t lane = reinterpret_cast<uintptr_t>(p) & 3;
    word_ = p - lane;
    hits_ = Hits(word_) & (~0u << (8 * lane));
  }

 private:
  // The lanes of the aligned word at w that may begin an occurrence, in their high bits: those
  // that hold a value of the first byte and, for a sought text of two bytes or more, are
  // followed by a value of the second byte (the last lane, whose next byte lies in the next
  // word, always counts).
  uint32_t Hits(const uint8_t* w) const {
    uint32_t word;
    std::memcpy(&word, w, 4);
    uint32_t firsts = ZeroLanes(word ^ firstLanes_);
    if (firstOtherCaseLanes_ != firstLanes_) firsts |= ZeroLanes(word ^ firstOtherCaseLanes_);
    uint32_t seconds = ZeroLanes(word ^ secondLanes_);
    if (secondOtherCaseLanes_ != secondLanes_) seconds |= ZeroLanes(word ^ secondOtherCaseLanes_);
    return firsts & ((seconds >> 8) | pairs_);
  }

  const Matcher& matcher_;
  // The sought text's first byte and its other case, each repeated in every lane; then the
  // same for its second byte.
  const uint32_t firstLanes_, firstOtherCaseLanes_;
  const uint32_t secondLanes_, secondOtherCaseLanes_;
  const uint32_t pairs_;    // lanes that count without a second byte
  const uint8_t* limit_;    // one past the last place an occurrence may start
  const uint8_t* known_;    // a character start at or before the next place examined
  const uint8_t* word_;     // the aligned word being examined
  uint32_t hits_;           // its lanes not yet examined that may begin an occurrence
};

// The shared search of FindText and FindTextReverse over the window [from, from + length)
// of a text of total length L. Tries a match at every character boundary counted from the
// window start; a forward search returns the first match, a reverse search the last one
// (matches may overlap). Returns the 1-based position in the whole text, or -1.
int32_t SearchWindow(const uint8_t* text, uint32_t from, uint32_t length, const Matcher& matcher,
                     bool reverse) {
  if (length == 0) return -1;
  if (matcher.length == 0) return 1;
  Occurrences scan(text + from, text + from + length, matcher);
  int32_t found = -1;
  while (const uint8_t* c = scan.Next()) {
    found = static_cast<int32_t>(c - text) + 1;
    if (!reverse) break;
  }
  return found;
}

// Start argument as a 0-based byte offset, or `omitted` when the argument was left out.
int64_t StartOffset(const Args& a, int32_t i, int64_t omitted) {
  if (!a.Given(i)) return omitted;
  int64_t b = int64_t{a.Int(i)} - 1;
  return b < 0 ? 0 : b;
}

void Find(ArgRecord* result, const Args& a, bool reverse) {
  Bytes text = TextBytes(a, 0);
  Bytes sought = TextBytes(a, 1);
  Matcher matcher(sought.p, sought.n, a.FlagExactlyOne(3));
  uint32_t from = 0, length = 0;
  if (!reverse) {
    int64_t b = StartOffset(a, 2, 0);
    if (b < text.n) {
      from = static_cast<uint32_t>(b);
      length = text.n - from;
    }
  } else {
    // Only bytes before the start position are searched: the window is 1 .. start - 1.
    int64_t b = StartOffset(a, 2, text.n);
    length = static_cast<uint32_t>(b < text.n ? b : text.n);
  }
  SetInt(result, SearchWindow(text.p, from, length, matcher, reverse));
}

// Copies the text and re-cases its ASCII letters in place. A byte of 0x80 or more takes the
// byte after it along unchanged, so a second byte in the letter range keeps its case.
template <bool kUpper>
void ChangeCase(ArgRecord* result, const Args& a) {
  Bytes text = TextBytes(a, 0);
  if (text.n == 0) return;
  uint8_t* out = static_cast<uint8_t*>(Alloc(text.n + 1));
  if (!out) return;
  for (uint32_t i = 0; i < text.n; ++i) {
    uint8_t b = text.p[i];
    if (IsLead(b)) {
      // The second byte goes with it; a lone first byte at the end is copied as it is.
      out[i] = b;
      if (++i < text.n) out[i] = text.p[i];
      continue;
    }
    if (kUpper ? (b >= 'a' && b <= 'z') : (b >= 'A' && b <= 'Z')) b = kUpper ? b - 32 : b + 32;
    out[i] = b;
  }
  out[text.n] = 0;
  SetPointer(result, out);
}

// One character of a text for comparison: a two-byte character is one unit, a lone first byte
// before the terminator counts as a single byte.
inline uint32_t CompareUnit(const uint8_t*& p, bool fold) {
  uint8_t b = *p;
  if (IsLead(b) && p[1] != 0) {
    uint32_t unit = uint32_t{b} << 8 | p[1];
    p += 2;
    return unit;
  }
  ++p;
  return fold ? FoldAscii(b) : b;
}

}  // namespace

CORE_COMMAND(TextLength) {
  SetInt(result, static_cast<int32_t>(TextBytes(Args(count, args), 0).n));
}

// The first `count` bytes; nothing for a count of 0 or less, the whole text for a count past
// its end.
CORE_COMMAND(TextLeft) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  int32_t n = a.Int(1);
  if (n <= 0) return;
  SetPointer(result, NewText(text.p, static_cast<uint32_t>(n) < text.n ? n : text.n));
}

// The last `count` bytes, clamped like TextLeft.
CORE_COMMAND(TextRight) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  int32_t n = a.Int(1);
  if (n <= 0) return;
  uint32_t take = static_cast<uint32_t>(n) < text.n ? n : text.n;
  SetPointer(result, NewText(text.p + (text.n - take), take));
}

// `count` bytes from 1-based byte position `start`. A start before the first byte or past the
// last one gives the empty text rather than a clamped piece.
CORE_COMMAND(TextMid) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  int64_t p = int64_t{a.Int(1)} - 1;
  int32_t n = a.Int(2);
  if (p < 0 || p >= text.n || n <= 0) return;
  uint32_t rest = text.n - static_cast<uint32_t>(p);
  SetPointer(result, NewText(text.p + p, static_cast<uint32_t>(n) < rest ? n : rest));
}

// The one-byte text of a character code; code 0 would end the text at once, so it is empty.
CORE_COMMAND(CharText) {
  uint8_t code = static_cast<uint8_t>(Args(count, args).Int(0));
  SetPointer(result, NewText(&code, code ? 1 : 0));
}

// `count` ASCII spaces, written straight into the exact result block.
CORE_COMMAND(SpaceText) {
  int32_t n = Args(count, args).Int(0);
  if (n < 1) return;
  char* out = static_cast<char*>(Alloc(static_cast<uint32_t>(n) + 1));
  if (!out) return;
  std::memset(out, ' ', n);
  out[n] = 0;
  SetPointer(result, out);
}

// Both searches share one scan; the direction decides the window and which match counts.
CORE_COMMAND(FindText) { Find(result, Args(count, args), false); }

CORE_COMMAND(FindTextReverse) { Find(result, Args(count, args), true); }

// Deletes `length` bytes at `start` and puts the replacement there; both are clamped to the
// text, so a start past the end appends and a start of 1 or less inserts at the front.
CORE_COMMAND(ReplaceText) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  Bytes repl = TextBytes(a, 3);
  int64_t pos = int64_t{a.Int(1)} - 1;
  pos = pos < 0 ? 0 : (pos > text.n ? text.n : pos);
  int64_t del = a.Int(2);
  if (del < 0) del = 0;
  if (del > text.n - pos) del = text.n - pos;
  uint64_t total = uint64_t{text.n} - del + repl.n;
  if (total == 0) return;
  char* out = static_cast<char*>(Alloc(static_cast<uint32_t>(total) + 1));
  if (!out) return;
  std::memcpy(out, text.p, pos);
  std::memcpy(out + pos, repl.p, repl.n);
  std::memcpy(out + pos + repl.n, text.p + pos + del, text.n - pos - del);
  out[total] = 0;
  SetPointer(result, out);
}

// Replaces occurrences of the sought text from left to right, each at most once: replaced
// bytes are never scanned again. Unmatched characters are copied whole, a run at a time; a
// lone first byte met by the scan is dropped. The result is written once, into a block
// reserved for its largest likely size and trimmed to the exact size at the end.
CORE_COMMAND(ReplaceSubtext) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  Bytes sought = TextBytes(a, 1);
  Bytes repl = TextBytes(a, 2);
  int64_t pos = StartOffset(a, 3, 0);
  // Omitted or negative: every occurrence. Zero: none.
  int64_t left = a.Given(4) ? a.Int(4) : -1;
  if (text.n == 0 || sought.n == 0 || pos >= text.n || left == 0) {
    SetPointer(result, NewText(text.p, text.n));
    return;
  }
  Matcher matcher(sought.p, sought.n, !a.Flag(5));
  const uint8_t* run = text.p + pos;  // start of the unmatched bytes not yet copied
  const uint8_t* end = text.p + text.n;
  // A shorter or equal replacement never makes the result longer than the text. For a longer
  // one the room is what the possible replacements add, up to a quarter of the text's length;
  // past that the buffer grows.
  Buffer out;
  uint64_t room = uint64_t{text.n} + 1;
  if (repl.n > sought.n) {
    uint64_t most = static_cast<uint32_t>(end - run) / sought.n;
    if (left > 0 && static_cast<uint64_t>(left) < most) most = static_cast<uint64_t>(left);
    room += std::min<uint64_t>(most * (repl.n - sought.n), text.n / 4);
  }
  out.Reserve(static_cast<uint32_t>(std::min<uint64_t>(room, 0xFFFFFFFFu)));
  out.Append(text.p, static_cast<uint32_t>(pos));
  Occurrences scan(run, end, matcher);
  bool scannedToEnd = true;
  while (const uint8_t* c = scan.Next()) {
    out.Append(run, static_cast<uint32_t>(c - run));
    out.Append(repl.p, repl.n);
    run = c + matcher.length;
    scan.ResumeAt(run);
    if (left > 0 && --left == 0) {
      scannedToEnd = false;
      break;
    }
  }
  // A scan for a one-byte text reaches the last byte; if that is a lone first byte (it did
  // not match), the scan drops it. A longer sought text ends the scan before it.
  if (scannedToEnd && matcher.length == 1 && run < end && IsLead(end[-1]) && StartsCharacter(run, end - 1)) {
    --end;
  }
  out.Append(run, static_cast<uint32_t>(end - run));
  SetPointer(result, out.TakeText());
}

// Cuts the text at each occurrence of the delimiter (case-sensitive, at character
// boundaries). Members are new texts, null when empty, each its own block; their addresses
// are gathered first and the array block is made once the count is known. With a limit, at
// most that many members are made and the text after the last counted delimiter is dropped.
CORE_COMMAND(SplitText) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  Bytes delim = a.Given(1) ? TextBytes(a, 1) : Bytes{reinterpret_cast<const uint8_t*>(","), 1};
  bool limited = a.Given(2);
  int64_t parts = limited ? a.Int(2) : 0;
  if (parts < 0) parts = 0;

  // Where the members end, first; then the array block, and the members made one after
  // another straight into it. A member starts where the delimiter after the one before ends.
  Buffer ends;  // offsets, 4 bytes each
  auto add = [&ends, &text](const uint8_t* end) {
    const uint32_t offset = static_cast<uint32_t>(end - text.p);
    ends.Append(&offset, sizeof(offset));
  };
  if (text.n != 0 && !(limited && parts == 0)) {
    const uint8_t* end = text.p + text.n;
    if (delim.n == 0) {
      add(end);
    } else {
      Matcher matcher(delim.p, delim.n, false);
      const uint8_t* seg = text.p;
      Occurrences scan(seg, end, matcher);
      bool partsLeft = true;
      while (const uint8_t* c = scan.Next()) {
        add(c);
        seg = c + matcher.length;
        scan.ResumeAt(seg);
        if (limited && --parts == 0) {
          partsLeft = false;
          break;
        }
      }
      // A lone first byte at the end only ends the scan; the tail keeps it.
      if (partsLeft && seg != end) add(end);
    }
  }
  const uint32_t n = ends.Size() / 4;
  uint8_t* block = static_cast<uint8_t*>(Alloc(8 + 4 * n));
  if (!block) return;  // no runtime: no array, and no member made
  const int32_t header[2] = {1, static_cast<int32_t>(n)};
  std::memcpy(block, header, sizeof(header));
  uint32_t start = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t end;
    std::memcpy(&end, ends.Data() + 4 * i, sizeof(end));
    char* member = NewText(text.p + start, end - start);
    std::memcpy(block + 8 + 4 * i, &member, sizeof(member));
    start = end + delim.n;
  }
  SetPointer(result, block);
}

// Removes leading and trailing blanks. A lone first byte at the end is cut off together with
// everything after the last complete character, whatever blanks precede it.
CORE_COMMAND(TrimSpaces) {
  Bytes text = TextBytes(Args(count, args), 0);
  const uint8_t* p = text.p;
  for (uint32_t k; (k = BlankAt(p)) != 0;) p += k;
  const uint8_t* begin = p;
  const uint8_t* cut = nullptr;  // start of the current run of blanks
  while (*p) {
    uint32_t k = BlankAt(p);
    if (k) {
      if (!cut) cut = p;
      p += k;
    } else if (IsLead(*p)) {
      if (p[1] == 0) {
        cut = p;
        break;
      }
      cut = nullptr;
      p += 2;
    } else {
      cut = nullptr;
      ++p;
    }
  }
  const uint8_t* end = cut ? cut : p;
  SetPointer(result, NewText(begin, static_cast<uint32_t>(end - begin)));
}

// Copies every character that is not a blank; a lone first byte ends the copy.
CORE_COMMAND(RemoveAllSpaces) {
  Bytes text = TextBytes(Args(count, args), 0);
  Buffer out;
  const uint8_t* p = text.p;
  const uint8_t* run = p;  // start of the pending run of kept characters
  while (*p) {
    uint32_t k = BlankAt(p);
    if (k) {
      out.Append(run, static_cast<uint32_t>(p - run));
      p += k;
      run = p;
    } else if (IsLead(*p)) {
      if (p[1] == 0) break;
      p += 2;
    } else {
      ++p;
    }
  }
  out.Append(run, static_cast<uint32_t>(p - run));
  SetPointer(result, out.TakeText());
}

CORE_COMMAND(ToUpper) { ChangeCase<true>(result, Args(count, args)); }

CORE_COMMAND(ToLower) { ChangeCase<false>(result, Args(count, args)); }

// Character-by-character comparison: two-byte characters compare as units; without case
// sensitivity only single-byte letters are folded. The result is -1, 0 or 1.
CORE_COMMAND(CompareText) {
  Args a(count, args);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(a.Text(0));
  const uint8_t* q = reinterpret_cast<const uint8_t*>(a.Text(1));
  bool fold = !a.Flag(2);
  for (;;) {
    if (*p == 0 || *q == 0) {
      SetInt(result, (*p != 0) - (*q != 0));
      return;
    }
    uint32_t x = CompareUnit(p, fold);
    uint32_t y = CompareUnit(q, fold);
    if (x != y) {
      SetInt(result, x < y ? -1 : 1);
      return;
    }
  }
}

// Byte sets: the length word, a leading piece, and a block of zero bytes. An empty result is
// the null address, never a block of length 0.
CORE_COMMAND(ByteSetLength) {
  uint32_t n;
  Args(count, args).ByteSet(0, &n);
  SetInt(result, static_cast<int32_t>(n));
}

CORE_COMMAND(ByteSetLeft) {
  Args a(count, args);
  uint32_t n;
  const uint8_t* data = a.ByteSet(0, &n);
  int32_t want = a.Int(1);
  if (want < 0) return;
  SetPointer(result, NewByteSet(data, static_cast<uint32_t>(want) < n ? want : n));
}

CORE_COMMAND(ZeroByteSet) {
  int32_t n = Args(count, args).Int(0);
  if (n <= 0) return;
  SetPointer(result, NewZeroByteSet(static_cast<uint32_t>(n)));
}

}  // namespace corelib
