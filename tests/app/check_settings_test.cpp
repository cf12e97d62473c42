// The check's settings file: every form it may take gives usable settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/check_settings.h"
#include "tests/web/test_support.h"
#include "web/exchange.h"

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
  static ::CheckSettings ReadWith(const std::string& content) {
    std::ofstream(SettingsPath(), std::ios::binary) << content;
    return ReadCheckSettings();
  }
};

// No file, no section, no key, or a value that is no whole number: the program as it is
// without settings, one ID at a time, no retries, a direct connection.
TEST_F(CheckSettings, MissingOrUnusableValuesMeanTheDefaults) {
  DeleteFileA(SettingsPath().c_str());
  auto expectDefaults = [](const ::CheckSettings& s, const std::string& what) {
    EXPECT_EQ(s.parallel, 1) << what;
    EXPECT_FALSE(s.adaptive) << what;
    EXPECT_EQ(s.retries, 0) << what;
    EXPECT_EQ(s.proxy.kind, ProxyKind::kDirect) << what;
    EXPECT_FALSE(s.Windowed()) << what;
  };
  expectDefaults(ReadCheckSettings(), "no file");
  for (const char* content : {"", "parallel=8\r\nretries=2\r\n", "[other]\r\nparallel=8\r\nretries=2\r\n",
                              "[check]\r\nserial=8\r\n", "[network]\r\nproxy=\r\n", "[network]\r\nproxy=\"\"\r\n"})
    expectDefaults(ReadWith(content), content);
  for (const char* value : {"", "abc", "8x", "1.5", "- 4", "autox", "\xD5\xC5" /* a Chinese character */}) {
    std::string content = std::string("[check]\r\nparallel=") + value + "\r\nretries=" + value + "\r\n";
    expectDefaults(ReadWith(content), content);
  }
  std::string binary(4096, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 37 + 11);
  expectDefaults(ReadWith(binary), "binary");
}

TEST_F(CheckSettings, WholeNumbersAreTakenAndClampedIntoTheirRanges) {
  const std::pair<const char*, int32_t> parallel[] = {
      {"[check]\r\nparallel=8\r\n", 8},      {"[CHECK]\r\nParallel = 12 \r\n", 12},
      {"[check]\nparallel=+3", 3},           {"[check]\r\nparallel=016\r\n", 16},
      {"[check]\r\nparallel=0\r\n", 1},      {"[check]\r\nparallel=-7\r\n", 1},
      {"[check]\r\nparallel=17\r\n", 16},    {"[check]\r\nparallel=4294967297\r\n", 16},
  };
  for (const auto& [content, expected] : parallel) EXPECT_EQ(ReadWith(content).parallel, expected) << content;
  EXPECT_EQ(ReadWith("[check]\r\nparallel=" + std::string(5000, '9') + "\r\n").parallel, 16) << "5,000 digits";
  EXPECT_EQ(ReadWith("[check]\r\nparallel=" + std::string(5000, '9') + "x\r\n").parallel, 1)
      << "5,000 digits and a letter";
  const std::pair<const char*, int32_t> retries[] = {
      {"[check]\r\nretries=2\r\n", 2},  {"[check]\r\nRETRIES=+5\r\n", 5}, {"[check]\r\nretries=6\r\n", 5},
      {"[check]\r\nretries=-1\r\n", 0}, {"[check]\r\nretries=0\r\n", 0},  {"[check]\r\nretries=4294967301\r\n", 5},
  };
  for (const auto& [content, expected] : retries) EXPECT_EQ(ReadWith(content).retries, expected) << content;
  EXPECT_TRUE(ReadWith("[check]\r\nretries=1\r\n").Windowed()) << "retries alone run the windowed check";
  EXPECT_EQ(ReadWith("[check]\r\nretries=1\r\n").parallel, 1);
}

// `auto` in any letter case grows up to sixteen in flight and brings three retries unless the
// file names a usable number of them.
TEST_F(CheckSettings, AutoBringsItsCeilingAndRetries) {
  const std::pair<const char*, int32_t> cases[] = {
      {"[check]\r\nparallel=auto\r\n", 3},
      {"[check]\r\nparallel = AUTO \r\nretries=0\r\n", 0},
      {"[check]\r\nretries=1\r\nparallel=Auto\r\n", 1},
      {"[check]\r\nparallel=auto\r\nretries=many\r\n", 3},
  };
  for (const auto& [content, retries] : cases) {
    ::CheckSettings s = ReadWith(content);
    EXPECT_TRUE(s.adaptive) << content;
    EXPECT_EQ(s.parallel, 16) << content;
    EXPECT_EQ(s.retries, retries) << content;
    EXPECT_TRUE(s.Windowed()) << content;
  }
}

// host:port with a plain host and a port of 1..65535, "system", or empty; anything else is
// unusable, so that no request goes around the proxy the user meant.
TEST_F(CheckSettings, ProxyValuesAreAServerTheSystemOrUnusable) {
  for (const char* value : {"127.0.0.1:8080", "proxy.example-1.test:3128", "a_b:1", "H:65535", "host:080"}) {
    ProxySetting p = ReadWith(std::string("[Network]\r\nproxy= ") + value + " \r\n").proxy;
    EXPECT_EQ(p.kind, ProxyKind::kServer) << value;
    EXPECT_EQ(p.server, value);
    EXPECT_EQ(p.Argument(), p.server + " https=" + p.server) << "the proxy for TLS legs too";
  }
  for (const char* value : {"system", "SYSTEM", "\"System\""}) {
    ProxySetting p = ReadWith(std::string("[network]\r\nproxy=") + value + "\r\n").proxy;
    EXPECT_EQ(p.kind, ProxyKind::kSystem) << value;
    EXPECT_STREQ(p.Argument(), web::kSystemProxy);
  }
  for (const char* value : {"host", ":80", "host:", "host:0", "host:65536", "host:99999999999", "host:+80",
                            "host:-1", "host:8o", "-host:80", "host.:80", "ho st:80", "http://host:80",
                            "[::1]:80", "host:80:90", "systemd", "\xD6\xF7\xBB\xFA:80" /* Chinese */})
    EXPECT_EQ(ReadWith(std::string("[network]\r\nproxy=") + value + "\r\n").proxy.kind, ProxyKind::kInvalid)
        << value;
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
  EXPECT_EQ(ReadWith(plain).parallel, 6) << "quoted, first of each";
  EXPECT_EQ(ReadWith("\xEF\xBB\xBF" + plain).parallel, 6) << "UTF-8 mark";
  EXPECT_EQ(ReadWith(utf16(true)).parallel, 6) << "UTF-16LE mark";
  EXPECT_EQ(ReadWith(utf16(false)).parallel, 6) << "UTF-16BE mark";
}

}  // namespace
