// The rich edit box unit on real rich edit controls: creation, coloured lines, streaming,
// property writes and re-creation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "extui/char_format.h"
#include "extui/ext_library.h"
#include "extui/rich_edit_class.h"
#include "extui/rich_edit_unit.h"
#include "tests/extui/fake_runtime.h"

using namespace extui;
using namespace extui_test;

namespace {

class RichEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeRuntime();
    host_ = CreateHostWindow();
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override {
    CreateHostWindow();  // destroys this test's boxes
    Pump();
  }
  CHARFORMATA FormatOf(HWND edit, LONG start, LONG end) {
    CHARRANGE r{start, end};
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return cf;
  }
  HWND host_ = nullptr;
};

std::vector<uint8_t> Block(std::vector<int32_t> words, const std::string& content = "") {
  words.push_back(static_cast<int32_t>(content.size()));
  std::vector<uint8_t> bytes(words.size() * 4);
  std::memcpy(bytes.data(), words.data(), bytes.size());
  bytes.insert(bytes.end(), content.begin(), content.end());
  return bytes;
}

// An RTF stream's colour table, as 0x00BBGGRR values (entry 0 is the automatic colour).
std::vector<uint32_t> RtfColours(const std::string& rtf) {
  std::vector<uint32_t> colours;
  const size_t at = rtf.find("{\\colortbl");
  if (at == std::string::npos) return colours;
  const std::string table = rtf.substr(at, rtf.find('}', at) - at);
  uint32_t r = 0, g = 0, b = 0;
  bool any = false;
  for (size_t i = std::strlen("{\\colortbl"); i < table.size(); ++i) {
    if (table[i] == ';') {
      colours.push_back(any ? (b << 16 | g << 8 | r) : 0xFF000000u);
      r = g = b = 0;
      any = false;
    } else if (table.compare(i, 4, "\\red") == 0) {
      r = std::stoul(table.substr(i + 4)), any = true;
    } else if (table.compare(i, 6, "\\green") == 0) {
      g = std::stoul(table.substr(i + 6)), any = true;
    } else if (table.compare(i, 5, "\\blue") == 0) {
      b = std::stoul(table.substr(i + 5)), any = true;
    }
  }
  return colours;
}

// The colour the RTF stream gives the text `word`: the last \cfN before it.
uint32_t RtfColourOf(const std::string& rtf, const std::string& word) {
  const size_t at = rtf.find(word);
  if (at == std::string::npos) return 0xDEADBEEF;
  int index = 0;
  for (size_t i = rtf.find("\\cf"); i < at; i = rtf.find("\\cf", i + 3)) {
    if (i + 3 < rtf.size() && rtf[i + 3] >= '0' && rtf[i + 3] <= '9') index = std::stoi(rtf.substr(i + 3));
  }
  const auto colours = RtfColours(rtf);
  return index < static_cast<int>(colours.size()) ? colours[index] : 0xDEADBEEF;
}

// Byte-for-byte comparison of large texts; on a difference, the first differing offset and a
// little context instead of a full diff.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  const size_t from = i > 20 ? i - 20 : 0;
  return ::testing::AssertionFailure()
         << "sizes " << got.size() << " and " << want.size() << ", first difference at " << i
         << ": got \"" << got.substr(from, 60) << "\" want \"" << want.substr(from, 60) << "\"";
}

TEST_F(RichEditTest, DefaultBoxIsMultiLineSunkenNinePointWithoutLimit) {
  RichEditUnit* box = CreateBox(host_);
  ASSERT_NE(box, nullptr);
  HWND edit = box->Handle();
  const DWORD style = GetWindowLongA(edit, GWL_STYLE);
  EXPECT_EQ(style & 0x1044u, 0x1044u) << "multi-line, auto vertical scroll, want return";
  EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL | ES_READONLY | ES_NOHIDESEL), 0u);
  EXPECT_NE(style & WS_CHILD, 0u);
  EXPECT_NE(style & WS_CLIPSIBLINGS, 0u);
  EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE) & 0x20201, WS_EX_CLIENTEDGE);
  EXPECT_EQ(GetDlgCtrlID(edit), 140);
  EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFF);
  EXPECT_EQ(SendMessageA(edit, EM_GETEVENTMASK, 0, 0), 0x280005);
  EXPECT_EQ(SendMessageA(edit, EM_GETMODIFY, 0, 0), 0);
  EXPECT_EQ(SendMessageA(edit, kMsgQueryUnitObject, 0, 0),
            reinterpret_cast<LRESULT>(static_cast<fw::WindowObject*>(box)));

  CHARFORMATA cf{};
  cf.cbSize = sizeof cf;
  SendMessageA(edit, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  EXPECT_STREQ(cf.szFaceName, "宋体");
  EXPECT_EQ(cf.yHeight, 180);
  EXPECT_NE(cf.dwEffects & CFE_AUTOCOLOR, 0u);
  EXPECT_EQ(cf.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_PROTECTED), 0u);

  // The control shows its vertical scroll bar (WS_VSCROLL) once the text needs it.
  std::string lines;
  for (int i = 0; i < 60; ++i) lines += "line\r\n";
  WriteText(box, kPropContent, lines.c_str());
  EXPECT_NE(GetWindowLongA(edit, GWL_STYLE) & WS_VSCROLL, 0u);

  // Enter stays in a multi-line box.
  auto claims = reinterpret_cast<UnitClaimsKeyFn>(RichEditUnitInterface(kUnitOpClaimsKey));
  EXPECT_EQ(claims(static_cast<fw::WindowObject*>(box), VK_RETURN), 1);

  // Destroying the window tells the runtime (2000) and deletes the unit.
  DestroyWindow(edit);
  ASSERT_EQ(Runtime().released.size(), 1u);
  EXPECT_EQ(Runtime().released[0], std::make_pair(1, 7));
}

TEST_F(RichEditTest, TemplateBlocksDecideCreation) {
  // The program's output box: black background, sunken, plain text.
  auto output = Block({1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0});
  RichEditUnit* box = CreateBox(host_, output.data(), static_cast<int32_t>(output.size()));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->Props().backColor, 0u);
  auto v2 = Block({2, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0});
  EXPECT_EQ(CreateBox(host_, v2.data(), static_cast<int32_t>(v2.size()), 8), nullptr);
  auto v0 = Block({0, 0, 5, static_cast<int32_t>(0xFF000000), 0, 0, 1, 0, 50, 0, 0}, "abc");
  RichEditUnit* single = CreateBox(host_, v0.data(), static_cast<int32_t>(v0.size()), 9);
  ASSERT_NE(single, nullptr);
  const DWORD style = GetWindowLongA(single->Handle(), GWL_STYLE);
  EXPECT_EQ(style & ES_MULTILINE, 0u);
  EXPECT_NE(style & ES_AUTOHSCROLL, 0u);
  EXPECT_NE(style & ES_READONLY, 0u);
  EXPECT_NE(style & ES_NOHIDESEL, 0u);
  EXPECT_NE(style & WS_BORDER, 0u) << "single-line border style";
  EXPECT_EQ(SendMessageA(single->Handle(), EM_GETLIMITTEXT, 0, 0), 50);
  EXPECT_EQ(ControlText(single->Handle()), "abc");
  auto query = reinterpret_cast<UnitQueryFn>(RichEditUnitInterface(kUnitOpQuery));
  EXPECT_EQ(query(static_cast<fw::WindowObject*>(single), 5), 0);

  // Saving writes the current record back, version 1, exactly 48 bytes + content.
  auto save = reinterpret_cast<UnitSaveFn>(RichEditUnitInterface(kUnitOpSave));
  HGLOBAL saved = static_cast<HGLOBAL>(save(static_cast<fw::WindowObject*>(single)));
  ASSERT_NE(saved, nullptr);
  ASSERT_EQ(GlobalSize(saved), 51u);
  const auto* words = static_cast<const int32_t*>(GlobalLock(saved));
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[2], 5);
  GlobalUnlock(saved);
  GlobalFree(saved);
}

// The log's way of appending a line: SetSelCharFormat on the empty selection at the end, then
// a SelText write. Each line keeps its own colour.
TEST_F(RichEditTest, InsertedTextTakesTheColourSetAtTheInsertionPoint) {
  RichEditUnit* box = CreateBox(host_);
  ASSERT_NE(box, nullptr);
  HWND edit = box->Handle();
  CharFormat* format = NewCharFormat();
  const struct { uint32_t colour; const char* line; } lines[] = {
      {0x00FF00, "账号 first 未注册！\r\n"},
      {0x0000FF, "账号 second 已注册！\r\n"},
      {0x00FFFF, "yellow\r\n"},
  };
  for (const auto& l : lines) {
    format->color = l.colour;
    SetSelFormat(1, 7, format);
    EXPECT_EQ(WriteText(box, kPropSelText, l.line), 0);
  }
  EXPECT_EQ(ControlText(edit), std::string(lines[0].line) + lines[1].line + lines[2].line);
  EXPECT_EQ(ReadInt(box, kPropSelLength), 0) << "the caret stays after the inserted text";

  // Character positions: each line is its characters plus one paragraph mark.
  const LONG first = 15, second = 16;  // "账号 first 未注册！" is 15 characters
  CHARFORMATA cf = FormatOf(edit, 0, first);
  EXPECT_EQ(cf.crTextColor, 0x00FF00u);
  EXPECT_EQ(cf.dwEffects & CFE_AUTOCOLOR, 0u);
  EXPECT_STREQ(cf.szFaceName, "宋体");
  EXPECT_EQ(cf.yHeight, 180);
  EXPECT_EQ(cf.dwMask & CFM_BOLD, static_cast<DWORD>(CFM_BOLD));
  EXPECT_EQ(cf.dwEffects & (CFE_BOLD | CFE_ITALIC), 0u) << "not bold, whatever the control began with";
  cf = FormatOf(edit, first + 1, first + 1 + second);
  EXPECT_EQ(cf.crTextColor, 0x0000FFu) << "the new line is red";
  cf = FormatOf(edit, 0, 3);
  EXPECT_EQ(cf.crTextColor, 0x00FF00u) << "the earlier line kept its colour";

  // The same seen through an RTF stream: the colour table and \cfN.
  WriteProp(box, kPropContextType, 1);
  const std::string rtf = ReadText(box, kPropContent);
  EXPECT_EQ(RtfColourOf(rtf, " first"), 0x00FF00u) << rtf.substr(0, 400);
  EXPECT_EQ(RtfColourOf(rtf, " second"), 0x0000FFu);
  EXPECT_EQ(RtfColourOf(rtf, "yellow"), 0x00FFFFu);
  ReleaseCharFormat(format);

  // A unit that is not loaded: the runtime's fatal error, and nothing is touched here.
  SetSelFormat(1, 99, format);
  ASSERT_EQ(Runtime().errors.size(), 1u);
  EXPECT_STREQ(Runtime().errors[0].c_str(), "指定窗口或窗口组件不存在或尚未载入");
  // Bad arguments change nothing and do not crash.
  SetSelFormat(1, 7, nullptr);
  ArgRecord none{};
  kExtUiLibraryInfo.commands[0](&none, 0, &none);
}

// A 1 MB text goes into the control and comes back byte for byte, as plain text and as RTF.
TEST_F(RichEditTest, OneMegabyteStreamsInAndOut) {
  std::string text;
  const std::string line = "账号 0123456789 abcdefghij 已注册！ ";
  for (int i = 0; text.size() < (1u << 20); ++i) text += line + std::to_string(i) + "\r\n";
  text += "end";  // no paragraph mark at the very end
  RichEditUnit* a = CreateBox(host_);
  RichEditUnit* b = CreateBox(host_, nullptr, 0, 8);
  ASSERT_TRUE(a && b);

  WriteText(a, kPropContent, text.c_str());
  EXPECT_TRUE(SameBytes(ReadText(a, kPropContent), text));

  WriteProp(a, kPropContextType, 1);
  const std::string rtf = ReadText(a, kPropContent);
  ASSERT_GT(rtf.size(), text.size());
  EXPECT_EQ(rtf.compare(0, 5, "{\\rtf"), 0);
  WriteProp(b, kPropContextType, 1);
  WriteText(b, kPropContent, rtf.c_str());
  EXPECT_TRUE(SameBytes(ReadText(b, kPropContent), rtf)) << "RTF round trip";
  WriteProp(b, kPropContextType, 0);
  EXPECT_TRUE(SameBytes(ReadText(b, kPropContent), text)) << "the RTF carried the text unchanged";

  // The selection streams the same way.
  WriteProp(a, kPropContextType, 0);
  WriteProp(a, kPropSelStart, 0);
  WriteProp(a, kPropSelLength, 2);
  EXPECT_EQ(ReadText(a, kPropSelText), "账号");
}

// RTF written to the selection is inserted formatted with ContextType 1, literally with 0.
TEST_F(RichEditTest, SelTextFollowsContextType) {
  RichEditUnit* box = CreateBox(host_);
  ASSERT_NE(box, nullptr);
  const char* rtf = "{\\rtf1\\ansi\\ansicpg936{\\colortbl;\\red255\\green0\\blue0;}\\cf1 RED}";
  WriteText(box, kPropSelText, rtf);
  EXPECT_EQ(ControlText(box->Handle()), rtf);
  WriteText(box, kPropContent, "");
  WriteProp(box, kPropContextType, 1);
  WriteText(box, kPropSelText, rtf);
  EXPECT_EQ(ControlText(box->Handle()), "RED");
  EXPECT_EQ(FormatOf(box->Handle(), 0, 3).crTextColor, 0x0000FFu);
}

TEST_F(RichEditTest, PropertyWritesClampAndAnswerRecreation) {
  RichEditUnit* box = CreateBox(host_);
  ASSERT_NE(box, nullptr);
  HWND edit = box->Handle();
  WriteText(box, kPropContent, "0123456789");

  EXPECT_EQ(WriteProp(box, kPropContextType, 5), 0);
  EXPECT_EQ(ReadInt(box, kPropContextType), 1);
  WriteProp(box, kPropContextType, static_cast<uint32_t>(-3));
  EXPECT_EQ(ReadInt(box, kPropContextType), 0);

  WriteProp(box, kPropBorder, 9);
  EXPECT_EQ(ReadInt(box, kPropBorder), 5);
  EXPECT_NE(GetWindowLongA(edit, GWL_STYLE) & WS_BORDER, 0u);
  EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE) & 0x20201, 0);
  WriteProp(box, kPropBorder, 4);
  EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE) & 0x20201, 0x201);
  EXPECT_EQ(GetWindowLongA(edit, GWL_STYLE) & WS_BORDER, 0);
  WriteProp(box, kPropBorder, static_cast<uint32_t>(-1));
  EXPECT_EQ(ReadInt(box, kPropBorder), 0);
  EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE) & 0x20201, 0);

  // ReadOnly (and its two siblings) answer 1 only when the value changes.
  EXPECT_EQ(WriteProp(box, kPropReadOnly, 0), 0);
  EXPECT_EQ(WriteProp(box, kPropReadOnly, 1), 1);
  EXPECT_EQ(WriteProp(box, kPropReadOnly, 1), 0);
  EXPECT_EQ(WriteProp(box, kPropAllowMultiLines, 1), 0);
  EXPECT_EQ(WriteProp(box, kPropAutoNextLine, 0), 1);

  // Selection: a negative start selects from 0, a length of -1 selects everything.
  WriteProp(box, kPropSelLength, 3);
  WriteProp(box, kPropSelStart, static_cast<uint32_t>(-5));
  EXPECT_EQ(ReadInt(box, kPropSelStart), 0);
  EXPECT_EQ(ReadInt(box, kPropSelLength), 3);
  EXPECT_EQ(ReadText(box, kPropSelText), "012");
  WriteProp(box, kPropSelStart, 4);
  EXPECT_EQ(ReadText(box, kPropSelText), "456");
  WriteProp(box, kPropSelLength, static_cast<uint32_t>(-7));
  EXPECT_EQ(box->Props().selLength, -1);
  EXPECT_EQ(ReadText(box, kPropSelText).substr(0, 10), "0123456789") << "everything selected";
  WriteProp(box, kPropSelLength, 0x7FFFFFFF);  // an end past the text clamps
  EXPECT_EQ(ReadInt(box, kPropSelStart), 4);

  // Limit: 100 holds typing at 100 characters; a written 0 is passed through to the control.
  WriteText(box, kPropContent, "");
  WriteProp(box, kPropReadOnly, 0);
  SendMessageA(edit, EM_SETREADONLY, 0, 0);
  WriteProp(box, kPropMaxAllowLength, 100);
  EXPECT_EQ(ReadInt(box, kPropMaxAllowLength), 100);
  for (int i = 0; i < 120; ++i) SendMessageA(edit, WM_CHAR, 'a' + i % 26, 1);
  EXPECT_EQ(ControlText(edit).size(), 100u);
  WriteProp(box, kPropMaxAllowLength, 0);
  const int32_t systemDefault = ReadInt(box, kPropMaxAllowLength);
  EXPECT_GT(systemDefault, 0) << "0 gives the control's own default limit";
  EXPECT_NE(systemDefault, 0x7FFFFFFF);
  WriteProp(box, kPropMaxAllowLength, static_cast<uint32_t>(-4));
  EXPECT_EQ(box->Props().maxAllowLength, 0);

  // Background colour and the modified flag (a logical: 0 or 1 whatever the control says).
  WriteProp(box, kPropBackColor, 0x123456);
  EXPECT_EQ(ReadInt(box, kPropBackColor), 0x123456);
  SendMessageA(edit, WM_CHAR, 'x', 1);
  EXPECT_EQ(ReadInt(box, kPropModified), 1);
  WriteProp(box, kPropModified, 0);
  EXPECT_EQ(ReadInt(box, kPropModified), 0);
  WriteProp(box, kPropHideSel, 0);
  EXPECT_EQ(ReadInt(box, kPropHideSel), 0);

  // Unknown indexes: ignored on write, unknown on read.
  EXPECT_EQ(WriteProp(box, 13, 1), 0);
  auto read = reinterpret_cast<UnitReadFn>(RichEditUnitInterface(kUnitOpRead));
  UnitValue v{5, 5};
  EXPECT_EQ(read(static_cast<fw::WindowObject*>(box), 13, &v), 0);
  EXPECT_EQ(v.first, 0u);
  EXPECT_EQ(read(static_cast<fw::WindowObject*>(box), -1, &v), 0);
  // A null text written is the empty text.
  WriteProp(box, kPropContent, 0);
  EXPECT_EQ(ReadText(box, kPropContent), "");
}

TEST_F(RichEditTest, DesignModeAnswersFromTheRecord) {
  auto block = Block({1, 0, 1, 0, 1, 1, 0, 1, 25, 2, 3}, "design");
  RichEditUnit* box = CreateBox(host_, block.data(), static_cast<int32_t>(block.size()), 7, 1);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ReadInt(box, kPropMaxAllowLength), 25);
  EXPECT_EQ(ReadInt(box, kPropSelStart), 2);
  EXPECT_EQ(ReadInt(box, kPropSelLength), 3);
  EXPECT_EQ(ReadText(box, kPropSelText), "");
  SendMessageA(box->Handle(), WM_CHAR, 'x', 1);
  EXPECT_EQ(ReadInt(box, kPropModified), 0);

  // The text visitor sees the content and may replace it.
  auto visit = reinterpret_cast<UnitTextVisitorFn>(RichEditUnitInterface(kUnitOpTextVisitor));
  std::string seen;
  HGLOBAL out = static_cast<HGLOBAL>(visit(
      block.data(), static_cast<int32_t>(block.size()),
      [](const char* text, void* user) -> const char* {
        *static_cast<std::string*>(user) = text;
        return "new";
      },
      &seen));
  EXPECT_EQ(seen, "design");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(GlobalSize(out), 51u);
  EXPECT_EQ(std::memcmp(static_cast<char*>(GlobalLock(out)) + 48, "new", 3), 0);
  GlobalUnlock(out);
  GlobalFree(out);
}


// A handler may destroy the box while the box is still handling the write that raised its event,
// as the form runtime does when the handler's own write re-creates the box: the write ends
// quietly, the runtime hears of the box's end once, at once, and the control's window goes once
// the control has returned (the heap-checked run of this test fails on any read of freed memory).
TEST_F(RichEditTest, HandlerDestroyingItsBoxMidEvent) {
  RichEditUnit* box = CreateBox(host_);
  ASSERT_NE(box, nullptr);
  HWND edit = box->Handle();
  size_t releasedInHandler = 0;
  Runtime().onEvent = [edit, &releasedInHandler](const RaisedEvent& e) {
    if (e.event != kEventChanged || !IsWindow(edit) || releasedInHandler) return;
    fw::WindowObject::DestroyWhenReturned(edit);
    releasedInHandler = Runtime().released.size();
  };
  EXPECT_EQ(WriteText(box, kPropSelText, "gone"), 0);
  EXPECT_EQ(releasedInHandler, 1u);
  EXPECT_FALSE(IsWindow(edit));
  EXPECT_EQ(Runtime().released.size(), 1u);

  Runtime().onEvent = nullptr;
}

// A ReadOnly change asks for re-creation; the box built from the saved block shows the lines
// appended so far, keeps the caret at the end and is read-only.
TEST_F(RichEditTest, RecreationKeepsTheLinesAndTheCaret) {
  RichEditUnit* box = CreateBox(host_);
  ASSERT_NE(box, nullptr);
  WriteText(box, kPropSelText, "line 1\r\n");
  WriteText(box, kPropSelText, "line 2\r\n");
  ASSERT_EQ(WriteProp(box, kPropReadOnly, 1), 1);
  auto save = reinterpret_cast<UnitSaveFn>(RichEditUnitInterface(kUnitOpSave));
  HGLOBAL block = static_cast<HGLOBAL>(save(static_cast<fw::WindowObject*>(box)));
  ASSERT_NE(block, nullptr);
  RichEditUnit* again = CreateBox(host_, GlobalLock(block), static_cast<int32_t>(GlobalSize(block)), 8);
  GlobalUnlock(block);
  GlobalFree(block);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(ControlText(again->Handle()), "line 1\r\nline 2\r\n");
  EXPECT_NE(GetWindowLongA(again->Handle(), GWL_STYLE) & ES_READONLY, 0u);
  WriteText(again, kPropSelText, "line 3");
  EXPECT_EQ(ControlText(again->Handle()), "line 1\r\nline 2\r\nline 3") << "appends at the end";
}

}  // namespace
