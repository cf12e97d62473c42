// The template reader on the generated start window and test windows: directory and unit
// lookups, the item walk, handler relocation, and the edits that resize an item.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "forms/window_template.h"

extern "C" const unsigned char kStartWindowTemplate[];
extern "C" const unsigned kStartWindowTemplateSize;
extern "C" const unsigned char kTestWindowsTemplate[];
extern "C" const unsigned kTestWindowsTemplateSize;

namespace {

constexpr uintptr_t kCodeBase = 0x00401000;

forms::WindowDirectory LoadStart() {
  forms::WindowDirectory d;
  forms::ReadWindowTemplate(kStartWindowTemplate, kStartWindowTemplateSize, kCodeBase, d);
  return d;
}

forms::WindowDirectory LoadTest() {
  forms::WindowDirectory d;
  forms::ReadWindowTemplate(kTestWindowsTemplate, kTestWindowsTemplateSize, kCodeBase, d);
  return d;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> out;
  for (uint32_t w : words)
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(w >> 8 * k));
  return out;
}

TEST(WindowTemplate, StartWindowMatchesTheProgramsWindow) {
  forms::WindowDirectory d = LoadStart();
  ASSERT_EQ(1u, d.Count());
  forms::WindowRecord* w = d.Find(0x52010001);
  ASSERT_NE(nullptr, w);
  EXPECT_EQ(0x52010001, d.IdOf(w));
  EXPECT_EQ(0xFFFFFFFFu, w->headerWord1);
  EXPECT_EQ(0x19010007u, w->headerWord2);
  EXPECT_EQ("", w->text1);
  ASSERT_EQ(6u, w->units.Count());

  struct Expected {
    uint32_t id, type;
    const char* name;
    int32_t left, top, width, height;
    uint32_t flags;
    uint32_t handler;   // after relocation; 0 = no binding
  } expected[] = {
      {0x06010000, 0x00010001, "", 50, 50, 418, 417, 1, kCodeBase + 0x3D6},
      {0x160117D3, 0x00020006, "超级编辑框1", 216, 24, 192, 344, 5, 0},
      {0x16010006, 0x0001000B, "按钮3", 160, 176, 48, 24, 5, kCodeBase + 0x2E},
      {0x16010005, 0x0001000B, "按钮2", 160, 264, 48, 24, 5, kCodeBase},
      {0x16010004, 0x0001000B, "按钮1", 160, 88, 48, 24, 5, kCodeBase + 0x4013},
      {0x16010002, 0x00010005, "编辑框1", 8, 24, 144, 344, 5, 0},
  };
  for (uint32_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const Expected& e = expected[i];
    EXPECT_EQ(e.id, w->units.IdAt(i));
    forms::UnitItem item = w->units.ItemAt(i);
    ASSERT_TRUE(item);
    EXPECT_EQ(e.type, item.TypeId());
    EXPECT_STREQ(e.name, item.Name());
    EXPECT_STREQ("", item.Comment());
    EXPECT_EQ(0u, item.EventLink());
    EXPECT_EQ(nullptr, item.Object());
    EXPECT_EQ(e.left, item.Left());
    EXPECT_EQ(e.top, item.Top());
    EXPECT_EQ(e.width, item.Width());
    EXPECT_EQ(e.height, item.Height());
    EXPECT_EQ(nullptr, item.Cursor());
    EXPECT_EQ(0u, item.ParentId());
    EXPECT_EQ(0u, item.ListCount());
    ASSERT_EQ(4u, item.MousePointerLength());
    EXPECT_EQ(0u, forms::LoadWord(item.MousePointer()));
    EXPECT_STREQ("", item.Tag());
    EXPECT_EQ(e.flags, item.Flags());
    EXPECT_EQ(0, item.TabOrder());
    EXPECT_EQ(e.handler ? 1u : 0u, item.BindingCount());
    EXPECT_EQ(e.handler, item.HandlerFor(0));
    EXPECT_EQ(i == 1 ? 48u : i == 5 ? 82u : i >= 2 ? 32u : item.PropertyBlockLength(),
              item.PropertyBlockLength());
    EXPECT_FALSE(item.IsMenuItem());
  }
  // The window's block starts with version 6 and border style 2; the buttons' with version 1.
  forms::UnitItem window = w->units.ItemAt(0);
  EXPECT_EQ(6u, forms::LoadWord(window.PropertyBlock()));
  EXPECT_EQ(2u, forms::LoadWord(window.PropertyBlock() + 4));
  forms::UnitItem button = w->units.ItemAt(4);
  EXPECT_EQ(1u, forms::LoadWord(button.PropertyBlock()));
  EXPECT_EQ(0, std::memcmp(button.PropertyBlock() + 28, "检测", 4));
}

TEST(WindowTemplate, LookupsFailCleanly) {
  forms::WindowDirectory d = LoadStart();
  EXPECT_EQ(nullptr, d.Find(0x52010002));
  EXPECT_EQ(nullptr, d.At(1));
  EXPECT_EQ(0, d.IdAt(1));
  forms::WindowRecord stray;
  EXPECT_EQ(0, d.IdOf(&stray));
  forms::UnitList& units = d.Find(0x52010001)->units;
  EXPECT_FALSE(units.ItemAt(6));          // index equal to the count
  EXPECT_EQ(0u, units.IdAt(6));
  EXPECT_FALSE(units.ItemById(0x16010003));
  EXPECT_FALSE(units.ItemById(0x00010002));  // bits 24-27 clear: refused
  EXPECT_FALSE(units.ItemById(0x16000000));  // serial 0: refused
  EXPECT_EQ(5, units.IndexOf(0x16010002));
  EXPECT_STREQ("按钮1", units.ItemById(0x16010004).Name());
}

TEST(WindowTemplate, RelocationAndMenuItems) {
  forms::WindowDirectory d = LoadTest();
  ASSERT_EQ(2u, d.Count());
  forms::WindowRecord* w = d.Find(0x52010002);
  ASSERT_NE(nullptr, w);
  EXPECT_EQ("first", w->text1);
  forms::UnitItem window = w->units.ItemAt(0);
  ASSERT_EQ(3u, window.BindingCount());
  EXPECT_EQ(kCodeBase, window.HandlerFor(0));            // stored offset 0 is a real handler
  EXPECT_EQ(0u, window.HandlerFor(1));                   // stored 0xFFFFFFFF: none
  EXPECT_EQ(kCodeBase + 0x123, window.HandlerFor(-1));
  EXPECT_EQ(0u, window.HandlerFor(7));

  EXPECT_TRUE(w->units.IsMenuItemAt(1));
  forms::UnitItem menu = w->units.ItemAt(1);
  ASSERT_TRUE(menu.IsMenuItem());
  EXPECT_STREQ("文件(&F)", menu.MenuCaption());
  EXPECT_EQ(4u, menu.MenuFlags());
  EXPECT_EQ(kCodeBase + 0x20, menu.MenuHandler());
  EXPECT_EQ(0u, w->units.ItemAt(2).MenuHandler());
  EXPECT_EQ(0u, menu.PropertyBlockLength());

  forms::UnitItem ok = w->units.ItemById(0x16010003);
  EXPECT_EQ(7u, ok.Flags());
  EXPECT_EQ(2, ok.TabOrder());
  EXPECT_STREQ("标记文本", ok.Tag());
  EXPECT_EQ(kCodeBase + 0x44, ok.HandlerFor(-7));
  forms::UnitItem linked = w->units.ItemById(0x16010004);
  EXPECT_EQ(0x16010003u, linked.EventLink());
  ASSERT_EQ(2u, linked.ListCount());
  EXPECT_EQ(0x16010005u, linked.ListId(1));
  EXPECT_EQ(0u, linked.ListId(2));
  EXPECT_EQ(18u, linked.MousePointerLength());
  EXPECT_EQ(0xFFFFFFFFu, forms::LoadWord(linked.MousePointer()));
  EXPECT_EQ(0u, w->units.ItemById(0x16010005).MousePointerLength());
}

TEST(WindowTemplate, EmptyAndZeroLengthDirectories) {
  forms::WindowDirectory d;
  std::vector<uint8_t> empty = Words({0});
  forms::ReadWindowTemplate(empty.data(), static_cast<uint32_t>(empty.size()), kCodeBase, d);
  EXPECT_EQ(0u, d.Count());
  std::vector<uint8_t> negative = Words({0xFFFFFFF8});
  forms::ReadWindowTemplate(negative.data(), static_cast<uint32_t>(negative.size()), kCodeBase, d);
  EXPECT_EQ(0u, d.Count());
  // A window with no units at all is readable; it just has nothing to create.
  std::vector<uint8_t> bare = Words({8, 7, 0, 0, 0, 0, 0, 0, 0});
  forms::ReadWindowTemplate(bare.data(), static_cast<uint32_t>(bare.size()), kCodeBase, d);
  ASSERT_EQ(1u, d.Count());
  EXPECT_EQ(0u, d.Find(7)->units.Count());
  EXPECT_FALSE(d.Find(7)->units.ItemAt(0));
}

TEST(WindowTemplate, MalformedListsAreRefusedWithoutChangingTheDirectory) {
  forms::WindowDirectory d = LoadStart();
  std::vector<uint8_t> bytes(kTestWindowsTemplate, kTestWindowsTemplate + kTestWindowsTemplateSize);
  // The unit count of the first window (after D, 2 ids, 2 slots, 2 headers, text "first", text 0).
  size_t countAt = 4 + 16 + 8 + 4 + 5 + 4;
  ASSERT_EQ(6u, forms::LoadWord(bytes.data() + countAt));
  for (uint32_t count : {7u, 0x20000000u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> bad = bytes;
    forms::StoreWord(bad.data() + countAt, count);
    EXPECT_THROW(forms::ReadWindowTemplate(bad.data(), static_cast<uint32_t>(bad.size()), kCodeBase, d),
                 forms::TemplateError) << count;
  }
  // A gap between items (second offset moved by one) is not the stored layout.
  std::vector<uint8_t> gap = bytes;
  size_t secondOffset = countAt + 8 + 6 * 4 + 4;
  forms::StoreWord(gap.data() + secondOffset, forms::LoadWord(gap.data() + secondOffset) + 1);
  EXPECT_THROW(forms::ReadWindowTemplate(gap.data(), static_cast<uint32_t>(gap.size()), kCodeBase, d),
               forms::TemplateError);
  EXPECT_EQ(1u, d.Count());
}

TEST(WindowTemplate, TagAndMousePointerEditsKeepTheListWalkable) {
  forms::WindowDirectory d = LoadTest();
  forms::UnitList& units = d.Find(0x52010002)->units;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < units.Count(); ++i) names.push_back(units.ItemAt(i).Name());

  ASSERT_TRUE(units.ReplaceTag(3, "a much longer tag than the stored one"));
  EXPECT_STREQ("a much longer tag than the stored one", units.ItemAt(3).Tag());
  ASSERT_TRUE(units.ReplaceTag(3, nullptr));
  EXPECT_STREQ("", units.ItemAt(3).Tag());
  const uint8_t pointer[] = {0x0E, 0, 0, 0, 1, 2};
  ASSERT_TRUE(units.ReplaceMousePointer(4, pointer, sizeof pointer));
  ASSERT_TRUE(units.ReplaceMenuCaption(1, "帮助"));
  EXPECT_FALSE(units.ReplaceTag(1, "menu items have no tag"));
  EXPECT_FALSE(units.ReplaceTag(6, "past the end"));

  // Every item still walks, keeps its fields and its bindings, and a re-check of the whole
  // block accepts it.
  for (uint32_t i = 0; i < units.Count(); ++i) EXPECT_EQ(names[i], units.ItemAt(i).Name()) << i;
  EXPECT_EQ(6u, units.ItemAt(4).MousePointerLength());
  EXPECT_EQ(0x0Eu, forms::LoadWord(units.ItemAt(4).MousePointer()));
  EXPECT_EQ(kCodeBase + 0x10, units.ItemAt(3).HandlerFor(0));
  EXPECT_STREQ("帮助", units.ItemAt(1).MenuCaption());
  EXPECT_EQ(kCodeBase + 0x20, units.ItemAt(1).MenuHandler());
  forms::UnitList copy;
  EXPECT_TRUE(copy.Assign(units.Bytes(), units.Count()));
}

TEST(WindowTemplate, SnapshotRestoresTheTemplateState) {
  forms::WindowDirectory d = LoadStart();
  forms::WindowRecord* w = d.Find(0x52010001);
  w->TakeSnapshot();
  forms::UnitItem edit = w->units.ItemAt(5);
  edit.SetLeft(99);
  edit.SetFlags(0);
  w->units.ReplaceTag(5, "changed");
  w->RestoreSnapshot();
  EXPECT_EQ(8, w->units.ItemAt(5).Left());
  EXPECT_EQ(5u, w->units.ItemAt(5).Flags());
  EXPECT_STREQ("", w->units.ItemAt(5).Tag());
  EXPECT_FALSE(w->snapshot.has_value());
}

TEST(TemplateReader, CountedAndZeroTerminatedTexts) {
  std::vector<uint8_t> b = Words({3});
  b.insert(b.end(), {'a', 'b', 'c', 'x', 0, 'y'});
  forms::TemplateReader r(b.data(), static_cast<uint32_t>(b.size()));
  EXPECT_EQ("abc", r.CountedText());
  EXPECT_EQ("x", r.ZeroText());
  EXPECT_THROW(r.ZeroText(), forms::TemplateError);   // no terminator before the end
  std::vector<uint8_t> big = Words({0x7FFFFFFF, 1});
  forms::TemplateReader r2(big.data(), static_cast<uint32_t>(big.size()));
  try {
    r2.CountedBlock();
    FAIL() << "a count beyond the data must fail";
  } catch (const forms::TemplateError& e) {
    EXPECT_EQ(4u, e.Offset());
  }
}

}  // namespace
