// The check's settings file: every form it may take gives a usable `parallel` value.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/check_settings.h"
#include "tests/web/test_support.h"

namespace {

std::string SettingsPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\')) + "\\checker.ini";
}

class CheckSettings : public ::testing::Test {
 protected:
  void SetUp() override { StartTestRuntime(); }
  void TearDown() override { DeleteFileA(SettingsPath().c_str()); }
  static int32_t ReadWith(const std::string& content) {
    std::ofstream(SettingsPath(), std::ios::binary) << content;
    return ReadParallelSetting();
  }
};

TEST_F(CheckSettings, MissingOrUnusableValuesMeanOne) {
  DeleteFileA(SettingsPath().c_str());
  EXPECT_EQ(ReadParallelSetting(), 1) << "no file";
  const char* const unusable[] = {
      "",                                       // empty file
      "parallel=8\r\n",                         // no section
      "[other]\r\nparallel=8\r\n",              // another section
      "[check]\r\nserial=8\r\n",                // no key
      "[check]\r\nparallel=\r\n",               // no value
      "[check]\r\nparallel=abc\r\n",
      "[check]\r\nparallel=8x\r\n",
      "[check]\r\nparallel=1.5\r\n",
      "[check]\r\nparallel=- 4\r\n",
      "[check]\r\nparallel=\xD5\xC5\r\n",       // a Chinese character
  };
  for (const char* content : unusable) EXPECT_EQ(ReadWith(content), 1) << content;
  std::string binary(4096, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 37 + 11);
  EXPECT_EQ(ReadWith(binary), 1) << "binary";
}

TEST_F(CheckSettings, WholeNumbersAreTakenAndClampedIntoOneToSixteen) {
  const std::pair<const char*, int32_t> cases[] = {
      {"[check]\r\nparallel=8\r\n", 8},      {"[CHECK]\r\nParallel = 12 \r\n", 12},
      {"[check]\nparallel=+3", 3},           {"[check]\r\nparallel=016\r\n", 16},
      {"[check]\r\nparallel=0\r\n", 1},      {"[check]\r\nparallel=-7\r\n", 1},
      {"[check]\r\nparallel=17\r\n", 16},    {"[check]\r\nparallel=4294967297\r\n", 16},
  };
  for (const auto& [content, expected] : cases) EXPECT_EQ(ReadWith(content), expected) << content;
  EXPECT_EQ(ReadWith("[check]\r\nparallel=" + std::string(5000, '9') + "\r\n"), 16) << "5,000 digits";
  EXPECT_EQ(ReadWith("[check]\r\nparallel=" + std::string(5000, '9') + "x\r\n"), 1)
      << "5,000 digits and a letter";
}

// The same settings saved with a byte-order mark (UTF-8 as Notepad saves it, UTF-16 either way
// round) read as without one; later sections and keys of the same name do not count.
TEST_F(CheckSettings, ByteOrderMarksAndRepeatsAreReadAsTheProfileReaderReadsThem) {
  const std::string plain = "[check]\r\nparallel=\"6\"\r\n[check]\r\nparallel=9\r\nparallel=2\r\n";
  auto utf16 = [&](bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : plain) out += little ? std::string{c, '\0'} : std::string{'\0', c};
    return out;
  };
  EXPECT_EQ(ReadWith(plain), 6) << "quoted, first of each";
  EXPECT_EQ(ReadWith("\xEF\xBB\xBF" + plain), 6) << "UTF-8 mark";
  EXPECT_EQ(ReadWith(utf16(true)), 6) << "UTF-16LE mark";
  EXPECT_EQ(ReadWith(utf16(false)), 6) << "UTF-16BE mark";
}

}  // namespace
