// The check's settings file: every form it may take gives usable settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/check_settings.h"
#include "tests/web/test_support.h"
#include "web/exchange.h"

namespace {

std::wstring SettingsPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.rfind(L'\\')) + L"\\checker.ini";
}

std::u16string U(const std::wstring& wide) { return std::u16string(wide.begin(), wide.end()); }

// The bytes of a UTF-8 literal (this source's narrow literals are GBK).
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Every byte of a literal, zero bytes included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) { return std::string(literal, N - 1); }

void WriteSettings(const std::string& content) {
  HANDLE file = CreateFileW(SettingsPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, content.data(), content.size(), &written, nullptr);
  CloseHandle(file);
}

void RemoveSettings() {
  DeleteFileW(SettingsPath().c_str());
  RemoveDirectoryW(SettingsPath().c_str());
}

class CheckSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestRuntime();
    RemoveSettings();
  }
  void TearDown() override { RemoveSettings(); }
  static ::CheckSettings ReadWith(const std::string& content) {
    WriteSettings(content);
    return ReadCheckSettings();
  }
};

// The notice line of a value of [check] that cannot be understood.
std::u16string Unusable(const std::u16string& keyAndValue) {
  return u"checker.ini 中 [check] 的 " + keyAndValue + u" 无法识别，本次按默认值检测。";
}

const char16_t kProxyNoticeEnd[] =
    u" 无效，未向网站发出任何请求。请填写 主机:端口（如 127.0.0.1:8080）、system，或留空直接连接。";

// No file, no section, no key, or an empty value: the program as it is without settings, one
// ID at a time, no retries, a direct connection, nothing to tell. A value that is no whole
// number gives the same values, and the notice names its key and its value as written.
TEST_F(CheckSettings, MissingValuesMeanTheDefaultsAndUnusableOnesAreNamed) {
  auto expectDefaults = [](const ::CheckSettings& s, const std::string& what) {
    EXPECT_EQ(s.parallel, 1) << what;
    EXPECT_FALSE(s.adaptive) << what;
    EXPECT_EQ(s.retries, 0) << what;
    EXPECT_EQ(s.proxy.kind, ProxyKind::kDirect) << what;
    EXPECT_FALSE(s.Windowed()) << what;
    EXPECT_EQ(s.refusal, u"") << what;
  };
  ::CheckSettings none = ReadCheckSettings();
  expectDefaults(none, "no file");
  EXPECT_EQ(none.Notice(), u"");
  for (const char* content : {"", "parallel=8\r\nretries=2\r\n", "[other]\r\nparallel=8\r\nretries=2\r\n",
                              "[check]\r\nserial=8\r\n", "[check]\r\nparallel=\r\nretries= ; none\r\n",
                              "[network]\r\nproxy=\r\n", "[network]\r\nproxy=\"\"\r\n", "[check]\r\n;parallel=x\r\n"}) {
    ::CheckSettings s = ReadWith(content);
    expectDefaults(s, content);
    EXPECT_EQ(s.Notice(), u"") << content;
  }
  const std::pair<const char*, std::wstring> unusable[] = {
      {"abc", L"abc"}, {"8x", L"8x"}, {"1.5", L"1.5"}, {"- 4", L"- 4"}, {"autox", L"autox"}, {"8;eight", L"8;eight"},
      {"\"7", L"\"7"}, {"\xD5\xC5" /* GBK */, L"张"}, {"1\x01", L"1?"}};
  for (const auto& [value, named] : unusable) {
    std::string content = std::string("[check]\r\nparallel=") + value + "\r\nretries=" + value + "\r\n";
    ::CheckSettings s = ReadWith(content);
    expectDefaults(s, content);
    EXPECT_EQ(s.Notice(), Unusable(u"parallel=" + U(named)) + u"\r\n" + Unusable(u"retries=" + U(named))) << content;
  }
  EXPECT_EQ(ReadWith("[check]\r\nparallel=" + std::string(500, 'x') + "\r\n").Notice(),
            Unusable(u"parallel=" + std::u16string(64, u'x') + u"…"))
      << "a long value is cut";
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
  const std::u16string start = u"checker.ini 中 [network] 的 proxy=";
  for (const char* value : {"host", ":80", "host:", "host:0", "host:65536", "host:99999999999", "host:+80",
                            "host:-1", "host:8o", "-host:80", "host.:80", "ho st:80", "http://host:80",
                            "[::1]:80", "host:80:90", "systemd", "\xD6\xF7\xBB\xFA:80" /* Chinese */}) {
    ::CheckSettings s = ReadWith(std::string("[network]\r\nproxy=") + value + "\r\n");
    EXPECT_EQ(s.proxy.kind, ProxyKind::kInvalid) << value;
    EXPECT_EQ(s.refusal.substr(0, start.size()), start) << value;
  }
  // The refusal names the value as written, quotes and all, and follows the other values' lines.
  ::CheckSettings quoted = ReadWith("[check]\r\nparallel=x\r\n[network]\r\nproxy=\"\xD6\xF7\xBB\xFA:80\" ; office\r\n");
  EXPECT_EQ(quoted.refusal, start + u"\"主机:80\"" + kProxyNoticeEnd);
  EXPECT_EQ(quoted.Notice(), Unusable(u"parallel=x") + u"\r\n" + quoted.refusal);
}

// What a file yields as the user wrote it, whatever the editor saved: the line ends and byte-
// order marks of the usual editors, UTF-8 without a mark (Notepad's default) with a Chinese
// comment right above the proxy, inline comments, a zero byte; later sections and keys of the
// same name do not count. A file that is there but cannot be read whole (locked by another
// program, over 1 MB, a folder) yields only the refusal naming it: it may name a proxy.
TEST_F(CheckSettings, SettingsFilesAreReadAsWritten) {
  const std::string comment = Utf8(u8"# 代理服务器");
  auto utf16 = [](const std::u16string& text, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : text) {
      char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      out += little ? std::string{lo, hi} : std::string{hi, lo};
    }
    return out;
  };
  const std::u16string wide = u"[check]\r\nparallel=\"6\" ; six\r\n[network]\r\n# 代理服务器\r\nproxy=127.0.0.1:8080\r\n";
  struct File {
    const char* what;
    std::string bytes;
    int32_t parallel, retries;
    const char* proxy;   // the server, "" for a direct connection
  } files[] = {
      {"UTF-8 without a mark, LF, a Chinese comment above the proxy",
       "[network]\n" + comment + "\nproxy=127.0.0.1:8080\n", 1, 0, "127.0.0.1:8080"},
      {"the same with CR LF", "[network]\r\n" + comment + "\r\nproxy=127.0.0.1:8080\r\n", 1, 0, "127.0.0.1:8080"},
      {"UTF-8 with its mark", "\xEF\xBB\xBF[network]\n" + comment + "\nproxy=127.0.0.1:8080", 1, 0, "127.0.0.1:8080"},
      {"GBK, LF", "[network]\n# \xB4\xFA\xC0\xED\nproxy=127.0.0.1:8080\n", 1, 0, "127.0.0.1:8080"},
      {"CR alone", "[check]\rparallel=3\r[network]\r" + comment + "\rproxy=127.0.0.1:8080\r", 3, 0, "127.0.0.1:8080"},
      {"UTF-16LE", utf16(wide, true), 6, 0, "127.0.0.1:8080"},
      {"UTF-16BE", utf16(wide, false), 6, 0, "127.0.0.1:8080"},
      {"inline comments", "[check]\nparallel=8 ; eight\nretries=2\t#two\n[network]\nproxy=127.0.0.1:8080 ; office\n",
       8, 2, "127.0.0.1:8080"},
      {"an inline comment after auto", "[check]\nparallel=auto # x\n", 16, 3, ""},
      {"a zero byte before the proxy line", Bytes("[network]\r\n#\0x\r\nproxy=127.0.0.1:8080\r\n"), 1, 0,
       "127.0.0.1:8080"},
      {"repeats", "[check]\r\nparallel=\"6\"\r\n[check]\r\nparallel=9\r\nparallel=2\r\n", 6, 0, ""},
  };
  for (const File& file : files) {
    ::CheckSettings s = ReadWith(file.bytes);
    EXPECT_EQ(s.parallel, file.parallel) << file.what;
    EXPECT_EQ(s.retries, file.retries) << file.what;
    EXPECT_EQ(s.proxy.server, file.proxy) << file.what;
    EXPECT_EQ(s.proxy.kind, *file.proxy ? ProxyKind::kServer : ProxyKind::kDirect) << file.what;
    EXPECT_EQ(s.Notice(), u"") << file.what;
  }
  // A zero byte in the proxy's own line makes a value that cannot be understood.
  EXPECT_EQ(ReadWith(Bytes("[network]\r\nproxy=127.0.0.1:8080\0\r\n")).refusal,
            u"checker.ini 中 [network] 的 proxy=127.0.0.1:8080?" + std::u16string(kProxyNoticeEnd));

  const std::u16string unreadable = u"无法完整读取设置文件 " + U(SettingsPath()) + u"，未向网站发出任何请求。";
  const std::string named = "[network]\r\nproxy=127.0.0.1:8080\r\n";
  auto expectRefused = [&](const ::CheckSettings& s, const char* what) {
    EXPECT_EQ(s.proxy.kind, ProxyKind::kDirect) << what;
    EXPECT_EQ(s.Notice(), unreadable) << what;
  };
  std::string largest = named + "#" + std::string((1 << 20) - named.size() - 1, 'x');
  EXPECT_EQ(ReadWith(largest).proxy.server, "127.0.0.1:8080") << "1 MB exactly";
  expectRefused(ReadWith(largest + "x"), "over 1 MB");
  WriteSettings(named);
  HANDLE locked = CreateFileW(SettingsPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  expectRefused(ReadCheckSettings(), "locked by another program");
  CloseHandle(locked);
  RemoveSettings();
  ASSERT_TRUE(CreateDirectoryW(SettingsPath().c_str(), nullptr));
  expectRefused(ReadCheckSettings(), "a folder");
}

}  // namespace
