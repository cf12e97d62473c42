// ReadUnitProperty and WriteUnitProperty through the runtime's own entry points, on units of
// a test class: common properties kept in the item (with and without a live window), every
// value-type conversion of class properties, re-creation in place, menu items.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "forms/form_runtime.h"
#include "forms/unit_class.h"
#include "forms/window_template.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "tests/forms_templates/test_unit_class.h"
#include "tests/support/child_program.h"

extern "C" const unsigned char kUnitWindowsTemplate[];
extern "C" const unsigned kUnitWindowsTemplateSize;
extern "C" const unsigned char kTestWindowsTemplate[];
extern "C" const unsigned kTestWindowsTemplateSize;

namespace {

constexpr int32_t kWindow = 0x52010010;
constexpr int32_t kUnit1 = 0x16010002, kUnit3 = 0x16010004, kMenu = 0x26010005;

uint64_t Text(const char* s) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(s)); }
const char* AsText(uint64_t v) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(v)); }
uint64_t Set(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rt::NewByteSet(bytes.data(), static_cast<uint32_t>(bytes.size()))));
}
std::vector<uint8_t> Bytes(uint64_t set) {
  const void* p = reinterpret_cast<const void*>(static_cast<uintptr_t>(set));
  if (!p) return {};
  return std::vector<uint8_t>(ByteSetData(p), ByteSetData(p) + ByteSetLength(p));
}
void Free(uint64_t v) { rt::MemFree(reinterpret_cast<void*>(static_cast<uintptr_t>(v))); }

uint64_t Read(int32_t unit, int32_t property, int32_t index = -1) {
  return forms::ReadUnitProperty(kWindow, unit, property, index);
}
void Write(int32_t unit, int32_t property, uint64_t value, int32_t index = -1) {
  forms::WriteUnitProperty(kWindow, unit, property, index, value);
}

// The unit windows' record, read afresh from the template for each test; units can be
// created on a real top-level window as LoadWindow would.
class UnitProperties : public ::testing::Test {
 protected:
  void SetUp() override {
    testunit::Install();
    forms::TheWindowDirectory().Clear();
    forms::ReadWindowTemplate(kUnitWindowsTemplate, kUnitWindowsTemplateSize, 0x400000,
                              forms::TheWindowDirectory());
    record_ = forms::TheWindowDirectory().Find(kWindow);
    ASSERT_NE(nullptr, record_);
  }
  void TearDown() override {
    if (frame_)
      while (HWND child = GetWindow(frame_, GW_CHILD)) DestroyWindow(child);
    forms::TheWindowDirectory().Clear();
  }
  // One top-level window for all tests: destroying a shown top-level window is slow here.
  static void TearDownTestSuite() {
    if (frame_) DestroyWindow(frame_);
    frame_ = nullptr;
  }

  // Creates units 1 and 3 (unit 2's block is refused) inside a plain top-level window.
  void CreateUnits() {
    if (!frame_)
      frame_ = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                               nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, frame_);
    const UnitClassInfo* cls = forms::FindUnitClass(testunit::kTypeId);
    auto create = forms::UnitOperationOf<UnitCreateFn>(cls, kUnitOpCreate);
    ASSERT_NE(nullptr, create);
    uint32_t controlId = 100;
    for (uint32_t i = 1; i <= 3; ++i, controlId += 10) {
      forms::UnitItem item = record_->units.ItemAt(i);
      void* object = create(item.PropertyBlock(), static_cast<int32_t>(item.PropertyBlockLength()),
                            WS_TABSTOP, frame_, controlId, nullptr, item.Left(), item.Top(),
                            item.Width(), item.Height(), kWindow, static_cast<int32_t>(item.Id()), 0, 0);
      EXPECT_EQ(i != 2, object != nullptr) << "unit " << i;
      record_->units.ItemAt(i).SetObject(object);
    }
  }
  HWND UnitHwnd(int32_t unit) { return forms::UnitWindow(record_->units.ItemById(unit).Object()); }
  testunit::Record& Props(int32_t unit) {
    return static_cast<testunit::Unit*>(static_cast<fw::WindowObject*>(record_->units.ItemById(unit).Object()))->props;
  }

  forms::WindowRecord* record_ = nullptr;
  static HWND frame_;
};

HWND UnitProperties::frame_ = nullptr;

TEST_F(UnitProperties, CommonPropertiesOfAUnitNotLoadedLiveInTheItem) {
  Write(kUnit1, kPropLeft, 40000);
  Write(kUnit1, kPropTop, static_cast<uint32_t>(-40000));
  Write(kUnit1, kPropWidth, static_cast<uint32_t>(-5));
  Write(kUnit1, kPropHeight, 32628);
  EXPECT_EQ(32627u, Read(kUnit1, kPropLeft));
  EXPECT_EQ(static_cast<uint32_t>(-32627), Read(kUnit1, kPropTop));
  EXPECT_EQ(0u, Read(kUnit1, kPropWidth));
  EXPECT_EQ(32627u, Read(kUnit1, kPropHeight));

  uint64_t tag = Read(kUnit1, kPropTag);
  EXPECT_STREQ("原标记", AsText(tag));
  Free(tag);
  Write(kUnit1, kPropTag, Text("新的更长的标记"));
  tag = Read(kUnit1, kPropTag);
  EXPECT_STREQ("新的更长的标记", AsText(tag));
  Free(tag);
  Write(kUnit1, kPropTag, 0);                      // a null text is the empty text
  EXPECT_EQ(0u, Read(kUnit1, kPropTag));           // and an empty text reads as null

  Write(kUnit1, kPropVisible, 0);
  Write(kUnit1, kPropDisabled, 1);
  EXPECT_EQ(0u, Read(kUnit1, kPropVisible));
  EXPECT_EQ(1u, Read(kUnit1, kPropDisabled));
  EXPECT_EQ(forms::kUnitDisabled | forms::kUnitTabStop, record_->units.ItemById(kUnit1).Flags());

  // The stored block holds the system cursor id; the program sees the cursor number.
  uint64_t pointer = Read(kUnit1, kPropMousePointer);
  EXPECT_EQ((std::vector<uint8_t>{3, 0, 0, 0}), Bytes(pointer));
  Free(pointer);
  Write(kUnit1, kPropMousePointer, Set({14, 0, 0, 0}));
  EXPECT_EQ(1032u, forms::LoadWord(record_->units.ItemById(kUnit1).MousePointer()));
  EXPECT_EQ(nullptr, record_->units.ItemById(kUnit1).Cursor());   // built when loaded
  pointer = Read(kUnit1, kPropMousePointer);
  EXPECT_EQ((std::vector<uint8_t>{14, 0, 0, 0}), Bytes(pointer));
  Free(pointer);
  Write(kUnit1, kPropMousePointer, 0);
  EXPECT_EQ(0u, record_->units.ItemById(kUnit1).MousePointerLength());
  EXPECT_EQ(nullptr, record_->units.ItemById(kUnit1).Cursor());

  // After all these resizes every other item still reads as stored.
  EXPECT_EQ(10, record_->units.ItemById(kUnit3).Left());
  EXPECT_STREQ("单元3", record_->units.ItemById(kUnit3).Name());
  EXPECT_STREQ("文件", record_->units.ItemById(kMenu).MenuCaption());
}

TEST_F(UnitProperties, CommonPropertiesOfALiveUnitFollowItsWindow) {
  CreateUnits();
  HWND hwnd = UnitHwnd(kUnit1);
  ASSERT_NE(nullptr, hwnd);
  SetWindowPos(hwnd, nullptr, 33, 44, 55, 66, SWP_NOZORDER);
  EXPECT_EQ(33u, Read(kUnit1, kPropLeft));
  EXPECT_EQ(44u, Read(kUnit1, kPropTop));
  EXPECT_EQ(55u, Read(kUnit1, kPropWidth));
  EXPECT_EQ(66u, Read(kUnit1, kPropHeight));

  Write(kUnit1, kPropLeft, 70);
  Write(kUnit1, kPropHeight, 40000);
  RECT rc;
  GetWindowRect(hwnd, &rc);
  MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(70, rc.left);
  EXPECT_EQ(44, rc.top);                  // the other coordinate and the width are kept
  EXPECT_EQ(55, rc.right - rc.left);
  EXPECT_EQ(70, record_->units.ItemById(kUnit1).Left());
  EXPECT_EQ(32627, record_->units.ItemById(kUnit1).Height());

  Write(kUnit1, kPropVisible, 0);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ(0u, Read(kUnit1, kPropVisible));
  Write(kUnit1, kPropVisible, 1);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  Write(kUnit1, kPropDisabled, 1);
  EXPECT_FALSE(IsWindowEnabled(hwnd));
  std::vector<uint8_t> pointer = {2, 0, 0, 0};
  Write(kUnit1, kPropMousePointer, Set(pointer));
  EXPECT_NE(nullptr, record_->units.ItemById(kUnit1).Cursor());   // live: built at once
  EnableWindow(hwnd, TRUE);
  EXPECT_EQ(0u, Read(kUnit1, kPropDisabled));   // live: the window's state, not the item's
}

TEST_F(UnitProperties, ClassPropertiesConvertByTheirTypeCode) {
  CreateUnits();
  testunit::Record& r = Props(kUnit1);
  constexpr int32_t P = kCommonPropertyCount;

  Write(kUnit1, P + testunit::kPInt, static_cast<uint32_t>(-42));
  EXPECT_EQ(-42, r.number);
  EXPECT_EQ(static_cast<uint32_t>(-42), Read(kUnit1, P + testunit::kPInt));

  Write(kUnit1, P + testunit::kPDouble, 0x400921FB54442D18ull);
  EXPECT_EQ(0x54442D18u, r.low);
  EXPECT_EQ(0x400921FBu, r.high);
  EXPECT_EQ(0x400921FB54442D18ull, Read(kUnit1, P + testunit::kPDouble));

  Write(kUnit1, P + testunit::kPBool, 5);
  EXPECT_EQ(1, r.flag);
  r.flag = 2;                                      // only exactly 1 reads as true
  EXPECT_EQ(0u, Read(kUnit1, P + testunit::kPBool));

  Write(kUnit1, P + testunit::kPText, Text("检测"));
  EXPECT_EQ("检测", r.text);
  uint64_t text = Read(kUnit1, P + testunit::kPText);
  ASSERT_NE(0u, text);
  EXPECT_NE(r.text.c_str(), AsText(text));        // a copy owned by the caller
  const_cast<char*>(AsText(text))[0] = 'x';
  EXPECT_EQ("检测", r.text);
  Free(text);
  Write(kUnit1, P + testunit::kPText, 0);
  EXPECT_EQ("", r.text);
  EXPECT_EQ(0u, Read(kUnit1, P + testunit::kPText));

  Write(kUnit1, P + testunit::kPChoice, static_cast<uint32_t>(-3));
  EXPECT_EQ(0, r.choice);
  Write(kUnit1, P + testunit::kPChoice, 2);
  EXPECT_EQ(2u, Read(kUnit1, P + testunit::kPChoice));

  uint64_t set = Set({1, 2, 3, 4, 5});
  Write(kUnit1, P + testunit::kPBlock, set);
  Free(set);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5}), r.block);
  uint64_t block = Read(kUnit1, P + testunit::kPBlock);
  EXPECT_EQ(r.block, Bytes(block));
  Free(block);
  Write(kUnit1, P + testunit::kPBlock, 0);
  EXPECT_TRUE(r.block.empty());
  EXPECT_EQ(0u, Read(kUnit1, P + testunit::kPBlock));

  Write(kUnit1, P + testunit::kPPointer, Set({2, 0, 0, 0, 7}));
  EXPECT_EQ(32515u, forms::LoadWord(r.pointer.data()));
  uint64_t pointer = Read(kUnit1, P + testunit::kPPointer);
  EXPECT_EQ((std::vector<uint8_t>{2, 0, 0, 0, 7}), Bytes(pointer));
  Free(pointer);

  Write(kUnit1, P + testunit::kPColor, 0xFF000000u);
  EXPECT_EQ(0xFF000000u, r.color);
}

TEST_F(UnitProperties, FontSubItemsStartFromTheDefaultFontAndWriteTheWholeFont) {
  CreateUnits();
  testunit::Record& r = Props(kUnit1);
  constexpr int32_t font = int32_t{kCommonPropertyCount} + testunit::kPFont;
  EXPECT_EQ(0u, Read(kUnit1, font, kFontBold));   // the default GUI font is not bold
  Write(kUnit1, font, 1, kFontBold);
  ASSERT_EQ(kLogFontSize, r.font.size());
  LOGFONTA written;
  std::memcpy(&written, r.font.data(), sizeof written);
  EXPECT_EQ(700, written.lfWeight);
  Write(kUnit1, font, static_cast<uint32_t>(-10), kFontAngle);
  EXPECT_EQ(3590u, Read(kUnit1, font, kFontAngle));
  EXPECT_EQ(1u, Read(kUnit1, font, kFontBold));    // the earlier change was kept
  Write(kUnit1, font, 0, kFontWhole);              // a null record changes nothing
  EXPECT_EQ(1u, Read(kUnit1, font, kFontBold));
}

TEST_F(UnitProperties, RecreationReplacesTheObjectInPlace) {
  CreateUnits();
  constexpr int32_t P = kCommonPropertyCount;
  Write(kUnit1, P + testunit::kPText, Text("保留"));
  HWND before = UnitHwnd(kUnit1);
  HWND below = UnitHwnd(kUnit3);
  SetFocus(before);
  int created = testunit::Unit::created;
  int during = testunit::Unit::destroyedWhileRecreating;

  Write(kUnit1, P + testunit::kPRecreate, 0);      // unchanged: no re-creation
  EXPECT_EQ(created, testunit::Unit::created);
  Write(kUnit1, P + testunit::kPRecreate, 1);
  EXPECT_EQ(created + 1, testunit::Unit::created);
  HWND after = UnitHwnd(kUnit1);
  ASSERT_NE(nullptr, after);
  EXPECT_NE(before, after);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_EQ(during + 1, testunit::Unit::destroyedWhileRecreating);
  EXPECT_EQ(0, rt::TheApp().recreatingUnit);
  EXPECT_EQ(0, rt::TheApp().eventBlockCount);
  EXPECT_EQ(100, GetDlgCtrlID(after));
  EXPECT_EQ(frame_, GetParent(after));
  RECT rc;
  GetWindowRect(after, &rc);
  MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(10, rc.left);
  EXPECT_EQ(20, rc.top);
  EXPECT_TRUE(IsWindowVisible(after));
  EXPECT_EQ(after, GetFocus());
  EXPECT_EQ("保留", Props(kUnit1).text);           // saved and read back into the new object
  EXPECT_EQ(1, Props(kUnit1).recreate);
  EXPECT_TRUE(IsWindow(below));
}

TEST_F(UnitProperties, MenuItemsUseTheirFlagsAndCaption) {
  uint64_t caption = Read(kMenu, 0);
  EXPECT_STREQ("文件", AsText(caption));
  Free(caption);
  EXPECT_EQ(1u, Read(kMenu, 1));   // check mark
  EXPECT_EQ(0u, Read(kMenu, 2));   // disabled
  EXPECT_EQ(1u, Read(kMenu, 3));   // visible
  Write(kMenu, 3, 0);
  Write(kMenu, 2, 1);
  Write(kMenu, 1, 0);
  EXPECT_EQ(forms::kMenuHidden | forms::kMenuDisabled, record_->units.ItemById(kMenu).MenuFlags());
  Write(kMenu, 0, Text("编辑(&E)"));
  caption = Read(kMenu, 0);
  EXPECT_STREQ("编辑(&E)", AsText(caption));
  Free(caption);
  Write(kMenu, 0, 0);
  EXPECT_EQ(0u, Read(kMenu, 0));
  EXPECT_STREQ("单元3", record_->units.ItemById(kUnit3).Name());
}

TEST_F(UnitProperties, UnitIdZeroIsTheWindowItem) {
  EXPECT_EQ(400u, Read(0, kPropWidth));
  Write(0, kPropLeft, 5);
  EXPECT_EQ(5, record_->units.ItemAt(0).Left());
}

}  // namespace

namespace {

struct ProbeOutcome {
  DWORD exitCode = 0;
  std::string boxText;   // empty when no error box appeared
};

// Runs unit_property_probe in `mode`, reads and closes its error box, and waits (at most ten
// seconds) for it to end.
ProbeOutcome RunProbe(const char* mode) {
  std::string dir = TestDirectory();
  std::string command = "\"" + dir + "\\unit_property_probe.exe\" " + mode;
  ChildRun child = RunChild(command, 10000);
  return ProbeOutcome{child.exitCode, child.box.text};
}

TEST(PropertyAccessErrors, AreRuntimeErrorsWithTheirTexts) {
  struct Case {
    const char* mode;
    const char* message;
  } cases[] = {
      {"nowindow", "未载入欲访问窗口组件所在的窗口"},
      {"nowindow-write", "未载入欲访问窗口组件所在的窗口"},
      {"nounit", "指定窗口或窗口组件不存在或尚未载入"},
      {"notloaded", "指定窗口尚未载入"},
      {"notloaded-write", "指定窗口尚未载入"},
      {"truncated", "载入窗口模板数据段出错!"},
  };
  for (const Case& c : cases) {
    ProbeOutcome run = RunProbe(c.mode);
    EXPECT_EQ(static_cast<DWORD>(-1), run.exitCode) << c.mode;
    std::string expected = std::string("错误信息：") + c.message + "\r\n";
    EXPECT_NE(std::string::npos, run.boxText.find(expected)) << c.mode << ": " << run.boxText;
  }
}

TEST(PropertyAccessErrors, WholeAndEmptyTemplatesLoadWithoutError) {
  for (const char* mode : {"whole", "empty"}) {
    ProbeOutcome run = RunProbe(mode);
    EXPECT_EQ(0u, run.exitCode) << mode;
    EXPECT_EQ("", run.boxText) << mode;
  }
}

}  // namespace
