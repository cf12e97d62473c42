// Text and byte-set commands: measuring, cutting, searching, replacing, splitting, trimming
// and re-casing GBK texts.
//
// Two families of rules meet here. The counting commands (TextLength, TextLeft, TextRight,
// TextMid, ReplaceText) work on bytes and may cut a two-byte character in two. The scanning
// commands step one character at a time: a byte of 0x80 or more takes the byte after it along,
// so a second byte is never matched, split or folded on its own, and a first byte directly
// before the terminator (a lone byte) ends the scan. Every command makes one pass over its
// input and hands back a new exact block, or null for an empty result.
#include <cstdint>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"

namespace corelib {

namespace {

// A text argument as bytes and length.
struct Bytes {
  const uint8_t* p;
  uint32_t n;
};

Bytes TextBytes(const Args& a, int32_t i) {
  const char* t = a.Text(i);
  return {reinterpret_cast<const uint8_t*>(t), static_cast<uint32_t>(std::strlen(t))};
}

// The blank characters: the ASCII space and the full-width space A1 A1. Returns the blank's
// length at p (1 or 2), or 0 when p holds no blank.
inline uint32_t BlankAt(const uint8_t* p) {
  if (p[0] == 0x20) return 1;
  if (p[0] == 0xA1 && p[1] == 0xA1) return 2;
  return 0;
}

// Compares n bytes, folding ASCII letters on both sides (second bytes of two-byte
// characters included, as the searches define it).
inline bool EqualFolded(const uint8_t* a, const uint8_t* b, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// The sought text prepared once for repeated comparisons at character boundaries.
struct Matcher {
  const uint8_t* sought;
  uint32_t m;
  bool fold;
  uint8_t first;

  Matcher(const uint8_t* s, uint32_t len, bool ignoreCase)
      : sought(s),
        m(len),
        fold(ignoreCase),
        first(len ? (ignoreCase ? FoldAscii(s[0]) : s[0]) : 0) {}

  // True when the m bytes at p equal the sought text (m >= 1).
  bool At(const uint8_t* p) const {
    if (fold) return FoldAscii(p[0]) == first && EqualFolded(p + 1, sought + 1, m - 1);
    return p[0] == first && std::memcmp(p + 1, sought + 1, m - 1) == 0;
  }
};

// The shared search of FindText and FindTextReverse over the window [from, from + length)
// of a text of total length L. Tries a match at every character boundary counted from the
// window start; a forward search returns the first match, a reverse search the last one
// (matches may overlap). Returns the 1-based position in the whole text, or -1.
int32_t SearchWindow(const uint8_t* text, uint32_t from, uint32_t length, const Matcher& m,
                     bool reverse) {
  if (length == 0) return -1;
  if (m.m == 0) return 1;
  const uint8_t* p = text + from;
  int64_t remaining = length;
  int32_t found = -1;
  while (remaining >= m.m) {
    if (m.At(p)) {
      found = static_cast<int32_t>(p - text) + 1;
      if (!reverse) return found;
    }
    if (IsLead(*p)) {
      if (p[1] == 0) break;  // lone first byte: the scan ends
      p += 2;
      remaining -= 2;
    } else {
      ++p;
      --remaining;
    }
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
  Matcher m(sought.p, sought.n, a.FlagExactlyOne(3));
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
  SetInt(result, SearchWindow(text.p, from, length, m, reverse));
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
// bytes are never scanned again. Unmatched characters are copied whole; a lone first byte met
// by the scan is dropped.
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
  Matcher m(sought.p, sought.n, !a.Flag(5));
  Buffer out;
  out.Append(text.p, static_cast<uint32_t>(pos));
  const uint8_t* p = text.p + pos;
  const uint8_t* end = text.p + text.n;
  while (static_cast<uint32_t>(end - p) >= m.m) {
    if (m.At(p)) {
      out.Append(repl.p, repl.n);
      p += m.m;
      if (left > 0 && --left == 0) break;
    } else if (IsLead(*p)) {
      if (p[1] == 0) {
        ++p;  // the lone first byte is dropped
        break;
      }
      out.Append(p, 2);
      p += 2;
    } else {
      out.Push(*p++);
    }
  }
  out.Append(p, static_cast<uint32_t>(end - p));
  SetPointer(result, out.TakeText());
}

// Cuts the text at each occurrence of the delimiter (case-sensitive, at character
// boundaries). Members are new texts, null when empty; the array block is built once the
// members are known. With a limit, at most that many members are made and the text after
// the last counted delimiter is dropped.
CORE_COMMAND(SplitText) {
  Args a(count, args);
  Bytes text = TextBytes(a, 0);
  Bytes delim = a.Given(1) ? TextBytes(a, 1) : Bytes{reinterpret_cast<const uint8_t*>(","), 1};
  bool limited = a.Given(2);
  int64_t parts = limited ? a.Int(2) : 0;
  if (parts < 0) parts = 0;

  Buffer members;  // member addresses, 4 bytes each
  auto add = [&members](const uint8_t* from, uint32_t n) {
    char* member = NewText(from, n);
    members.Append(&member, sizeof(member));
  };
  if (text.n != 0 && !(limited && parts == 0)) {
    if (delim.n == 0) {
      add(text.p, text.n);
    } else {
      Matcher m(delim.p, delim.n, false);
      const uint8_t* seg = text.p;
      const uint8_t* p = text.p;
      const uint8_t* end = text.p + text.n;
      bool partsLeft = true;
      while (static_cast<uint32_t>(end - p) >= m.m) {
        if (m.At(p)) {
          add(seg, static_cast<uint32_t>(p - seg));
          p += m.m;
          seg = p;
          if (limited && --parts == 0) {
            partsLeft = false;
            break;
          }
        } else if (IsLead(*p)) {
          if (p[1] == 0) break;
          p += 2;
        } else {
          ++p;
        }
      }
      if (partsLeft && *seg != 0) add(seg, static_cast<uint32_t>(end - seg));
    }
  }
  uint32_t n = members.Size() / 4;
  uint8_t* block = static_cast<uint8_t*>(Alloc(8 + members.Size()));
  if (!block) {
    // Without a runtime there is no array to hand back; release what was made.
    for (uint32_t i = 0; i < n; ++i) Free(reinterpret_cast<char* const*>(members.Data())[i]);
    return;
  }
  const int32_t header[2] = {1, static_cast<int32_t>(n)};
  std::memcpy(block, header, sizeof(header));
  std::memcpy(block + 8, members.Data(), members.Size());
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
