// The edit box's and the button's own rules (filter, normalisation, stepping, property blocks,
// clamped writes, pictures) and the picture loader on damaged bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "forms/button.h"
#include "forms/edit_box.h"
#include "forms/form_window.h"
#include "forms/picture.h"
#include "tests/forms_window/form_test_support.h"

namespace {

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> out;
  for (uint32_t w : words)
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(w >> 8 * k));
  return out;
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) { out.insert(out.end(), more.begin(), more.end()); }

// A button block: version, type, h, v, picture, font, caption.
std::vector<uint8_t> ButtonBlock(uint32_t version, const std::vector<uint8_t>& picture, const char* caption) {
  std::vector<uint8_t> b = Words({version, 0, 1, 1, static_cast<uint32_t>(picture.size())});
  Append(b, picture);
  Append(b, Words({0, static_cast<uint32_t>(std::strlen(caption))}));
  b.insert(b.end(), caption, caption + std::strlen(caption));
  return b;
}

// A 2 x 2 24-bit bitmap file.
std::vector<uint8_t> SmallBitmap() {
  std::vector<uint8_t> b = {'B', 'M'};
  Append(b, Words({14 + 40 + 16, 0, 14 + 40, 40, 2, 2}));
  b.push_back(1), b.push_back(0), b.push_back(24), b.push_back(0);
  Append(b, Words({0, 16, 0, 0, 0, 0}));
  for (int i = 0; i < 16; ++i) b.push_back(static_cast<uint8_t>(i * 15));
  return b;
}

// A one-image 16 x 16 32-bit icon file.
std::vector<uint8_t> SmallIcon() {
  const uint32_t imageSize = 40 + 16 * 16 * 4 + 16 * 4;
  std::vector<uint8_t> b = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  Append(b, Words({imageSize, 22, 40, 16, 32}));
  b.push_back(1), b.push_back(0), b.push_back(32), b.push_back(0);
  Append(b, Words({0, 0, 0, 0, 0, 0}));
  for (int i = 0; i < 16 * 16; ++i) Append(b, Words({0xFF336699}));
  b.resize(b.size() + 16 * 4, 0);
  return b;
}

class UnitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { formtest::InitialiseTestProgram(); }
  void SetUp() override {
    parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); formtest::Pump(); }
  void* MakeButton(const std::vector<uint8_t>& block) {
    auto create = forms::UnitOperationOf<UnitCreateFn>(&forms::kButtonClass, kUnitOpCreate);
    return create(block.data(), static_cast<int32_t>(block.size()), 0, parent_, 100, nullptr, 0, 0, 60, 24,
                  0x5201FFFF, 0x16010001, 0, 0);
  }
  HWND parent_ = nullptr;
};

TEST(EditRules, TypedCharacterFilterByInputMode) {
  struct Case {
    int32_t mode;
    const char* passes;
    const char* refused;
  } cases[] = {
      {0, "a-.9", ""}, {3, "-09", "a."}, {4, "-.5", "ae"}, {5, "07", "-.a"},
      {7, "-1", ".x"},  {9, "-.3", "e"},  {11, "a/:", ""},
  };
  for (const Case& c : cases) {
    for (const char* p = c.passes; *p; ++p) EXPECT_TRUE(forms::EditCharAllowed(c.mode, *p)) << c.mode << " " << *p;
    for (const char* p = c.refused; *p; ++p) EXPECT_FALSE(forms::EditCharAllowed(c.mode, *p)) << c.mode << " " << *p;
    EXPECT_TRUE(forms::EditCharAllowed(c.mode, '\b'));  // control characters always pass
  }
}

TEST(EditRules, NormalisationClampsByModeAndEmptiesZero) {
  EXPECT_EQ("255", forms::NormaliseEditText(5, "300"));
  EXPECT_EQ("", forms::NormaliseEditText(5, "0"));
  EXPECT_EQ("", forms::NormaliseEditText(5, "-7"));
  EXPECT_EQ("-32768", forms::NormaliseEditText(6, "-40000"));
  EXPECT_EQ("2147483647", forms::NormaliseEditText(7, "99999999999"));
  EXPECT_EQ("-9223372036854775808", forms::NormaliseEditText(8, "-99999999999999999999"));
  EXPECT_EQ("12", forms::NormaliseEditText(7, "12abc"));
  EXPECT_EQ("1.5", forms::NormaliseEditText(10, "1.50"));
  EXPECT_EQ("", forms::NormaliseEditText(10, "abc"));
  EXPECT_EQ("abc", forms::NormaliseEditText(3, "abc"));   // integer text is kept as typed
  EXPECT_EQ("", forms::NormaliseEditText(11, "not a date"));
}

TEST(EditRules, SpinStepWrapsToTheOtherEnd) {
  EXPECT_EQ(0, forms::StepSpinValue("100", 1, 0, 100));
  EXPECT_EQ(100, forms::StepSpinValue("0", -1, 0, 100));
  EXPECT_EQ(1, forms::StepSpinValue("abc", 1, 0, 100));
  EXPECT_EQ(5, forms::StepSpinValue("10", 1, 5, 10));
  EXPECT_EQ(51, forms::StepSpinValue("50", 1, 0, 100));
  // Nineteen digits and more saturate at the 64-bit ends: far above the range steps to its
  // low end either way, far below to its high end.
  EXPECT_EQ(0, forms::StepSpinValue("9223372036854775807", 1, 0, 100));
  EXPECT_EQ(0, forms::StepSpinValue("99999999999999999999", -1, 0, 100));
  EXPECT_EQ(100, forms::StepSpinValue("-9223372036854775808", -1, 0, 100));
  EXPECT_EQ(INT32_MIN, forms::StepSpinValue("9223372036854775807", 1, INT32_MIN, INT32_MAX));
}

TEST(EditRules, SelectionEndSaturatesAtTheLimits) {
  EXPECT_EQ(7, forms::SelectionEnd(2, 5));
  EXPECT_EQ(INT32_MAX, forms::SelectionEnd(2, INT32_MAX));
  EXPECT_EQ(INT32_MAX, forms::SelectionEnd(INT32_MAX, 1));
  EXPECT_EQ(INT32_MIN, forms::SelectionEnd(INT32_MIN, -1));
}

TEST(EditRules, PropertyBlockVersionsAndRoundTrip) {
  forms::EditBoxProperties props;
  std::vector<uint8_t> v3 = Words({3});
  EXPECT_FALSE(forms::LoadPropertyRecord(props, v3.data(), static_cast<int32_t>(v3.size())));
  // Version 1 stops before the data names, which keep their defaults.
  std::vector<uint8_t> v1 = Words({1, 5, 0xFF, 0xFF000000, 0, 12, 1, 3, 2, 5});
  v1.push_back('#'), v1.push_back(0);
  Append(v1, Words({2, 1, 10, 5, 0, 0, 0, 2}));
  v1.push_back('h'), v1.push_back('i');
  ASSERT_TRUE(forms::LoadPropertyRecord(props, v1.data(), static_cast<int32_t>(v1.size())));
  EXPECT_EQ(5, props.border);
  EXPECT_EQ('#', props.passwordChar);
  EXPECT_EQ(10, props.spinMin);
  EXPECT_EQ(5, props.spinMax);
  EXPECT_EQ("hi", props.content);
  EXPECT_EQ("", props.dataSource);
  props.dataSource = "源";
  uint32_t length = 0;
  HGLOBAL saved = forms::SavePropertyRecord(props, &length);
  ASSERT_NE(nullptr, saved);
  forms::EditBoxProperties back;
  ASSERT_TRUE(forms::LoadPropertyRecord(back, GlobalLock(saved), static_cast<int32_t>(length)));
  GlobalUnlock(saved);
  GlobalFree(saved);
  EXPECT_EQ("hi", back.content);
  EXPECT_EQ("源", back.dataSource);
  EXPECT_EQ(3, back.scrollBars);

  // A truncated block is refused, not half read.
  EXPECT_FALSE(forms::LoadPropertyRecord(props, v1.data(), static_cast<int32_t>(v1.size() - 1)));
}

TEST_F(UnitTest, ButtonWritesClampAndCaptionReadsTheStoredText) {
  void* button = MakeButton(ButtonBlock(1, {}, "确定"));
  ASSERT_NE(nullptr, button);
  auto write = forms::UnitOperationOf<UnitWriteFn>(&forms::kButtonClass, kUnitOpWrite);
  auto read = forms::UnitOperationOf<UnitReadFn>(&forms::kButtonClass, kUnitOpRead);
  auto isDefault = forms::UnitOperationOf<UnitIsDefaultFn>(&forms::kButtonClass, kUnitOpIsDefault);
  HWND h = static_cast<fw::WindowObject*>(button)->Handle();

  UnitValue five{5, 0};
  EXPECT_EQ(0, write(button, forms::kButtonType, &five, nullptr));
  UnitValue got{};
  read(button, forms::kButtonType, &got);
  EXPECT_EQ(1u, got.first);
  EXPECT_EQ(1, isDefault(button));
  EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & BS_TYPEMASK);

  UnitValue minusThree{static_cast<uint32_t>(-3), 0};
  write(button, forms::kButtonHalign, &minusThree, nullptr);
  read(button, forms::kButtonHalign, &got);
  EXPECT_EQ(0u, got.first);
  EXPECT_EQ(static_cast<DWORD>(BS_LEFT), static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & (BS_LEFT | BS_RIGHT | BS_CENTER));

  UnitValue caption{reinterpret_cast<uint32_t>("新标题"), 0};
  write(button, forms::kButtonCaption, &caption, nullptr);
  SetWindowTextA(h, "别的");
  read(button, forms::kButtonCaption, &got);
  EXPECT_STREQ("新标题", reinterpret_cast<const char*>(got.first));

  // A new picture needs a new control.
  std::vector<uint8_t> bmp = SmallBitmap();
  UnitValue picture{reinterpret_cast<uint32_t>(bmp.data()), static_cast<uint32_t>(bmp.size())};
  EXPECT_EQ(1, write(button, forms::kButtonPicture, &picture, nullptr));
}

TEST_F(UnitTest, ButtonPicturesDecodeOrFallBackToTheCaption) {
  void* bitmapButton = MakeButton(ButtonBlock(1, SmallBitmap(), "图"));
  ASSERT_NE(nullptr, bitmapButton);
  HWND h = static_cast<fw::WindowObject*>(bitmapButton)->Handle();
  EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & BS_BITMAP);
  EXPECT_NE(0, SendMessageA(h, BM_GETIMAGE, IMAGE_BITMAP, 0));

  void* iconButton = MakeButton(ButtonBlock(1, SmallIcon(), "标"));
  ASSERT_NE(nullptr, iconButton);
  EXPECT_TRUE(GetWindowLongA(static_cast<fw::WindowObject*>(iconButton)->Handle(), GWL_STYLE) & BS_ICON);

  std::vector<uint8_t> junk = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9};
  void* plain = MakeButton(ButtonBlock(1, junk, "文字"));
  ASSERT_NE(nullptr, plain);
  HWND p = static_cast<fw::WindowObject*>(plain)->Handle();
  EXPECT_FALSE(GetWindowLongA(p, GWL_STYLE) & (BS_BITMAP | BS_ICON));
  EXPECT_EQ("文字", formtest::WindowText(p));

  EXPECT_EQ(nullptr, MakeButton(ButtonBlock(2, {}, "x"))) << "version above 1 is refused";
}

TEST(Picture, DamagedBytesDecodeToNothing) {
  std::vector<uint8_t> icon = SmallIcon();
  forms::Picture good = forms::DecodePicture(icon.data(), static_cast<uint32_t>(icon.size()));
  EXPECT_EQ(forms::PictureKind::kIcon, good.kind);
  // Every truncation of the icon and the bitmap: nothing, never a crash.
  for (uint32_t n = 0; n < icon.size(); n += 7) {
    forms::Picture p = forms::DecodePicture(icon.data(), n);
    EXPECT_EQ(forms::PictureKind::kNone, p.kind) << n;
  }
  std::vector<uint8_t> bmp = SmallBitmap();
  for (uint32_t n = 0; n < bmp.size(); ++n) {
    forms::Picture p = forms::DecodePicture(bmp.data(), n);
    EXPECT_EQ(forms::PictureKind::kNone, p.kind) << n;
  }
  // Dimensions that would overrun the buffer.
  std::vector<uint8_t> huge = bmp;
  huge[18] = 0xFF, huge[19] = 0x3F;
  EXPECT_EQ(nullptr, forms::DecodePicture(huge.data(), static_cast<uint32_t>(huge.size())).bitmap.Get());
  // An icon directory whose image offset points past the end.
  std::vector<uint8_t> wild = icon;
  wild[18] = 0xF0, wild[19] = 0xFF;
  EXPECT_EQ(nullptr, forms::IconFromFileBytes(wild.data(), static_cast<uint32_t>(wild.size()), 32, 32));
}

TEST(WindowStyles, BorderChoicesMapToFrames) {
  forms::WindowProperties p;
  p.caption = "t";
  p.minButton = true;
  forms::FormStyles st = forms::FormWindowStyles(p, false, false);
  EXPECT_EQ(static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN), st.style);
  EXPECT_EQ(0u, st.exStyle);
  p.border = 1;
  EXPECT_TRUE(forms::FormWindowStyles(p, false, false).style & WS_THICKFRAME);
  p.border = 4;
  EXPECT_EQ(static_cast<DWORD>(WS_EX_TOOLWINDOW), forms::FormWindowStyles(p, false, false).exStyle);
  p.border = 0;
  p.controlBox = false;
  EXPECT_EQ(static_cast<DWORD>(WS_MINIMIZEBOX | WS_CLIPCHILDREN), forms::FormWindowStyles(p, false, false).style);
  EXPECT_TRUE(forms::FormWindowStyles(p, true, false).style & WS_POPUP);
  p.startPosition = 3;   // maximised only when sizable
  EXPECT_FALSE(forms::FormWindowStyles(p, false, false).style & WS_MAXIMIZE);
  p.border = 5;
  EXPECT_TRUE(forms::FormWindowStyles(p, false, false).style & WS_MAXIMIZE);
}

}  // namespace
