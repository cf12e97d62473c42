// Address helpers: host, path, port, redirect targets and percent escapes.
#include <gtest/gtest.h>

#include "tests/web/test_support.h"
#include "web/url.h"

namespace {

class Url : public ::testing::Test {
 protected:
  void SetUp() override { StartTestRuntime(); }
};

TEST_F(Url, HostIsLowerCaseWithoutSchemePortOrPath) {
  EXPECT_EQ(TakeText(UrlHost("http://Ab.CD:8080/a/b?c=d")), "ab.cd");
  EXPECT_EQ(TakeText(UrlHost("host:81")), "host");
  EXPECT_EQ(TakeText(UrlHost("https://Secure.Example/x")), "secure.example");
  // Every scheme text is removed, not only a leading one.
  EXPECT_EQ(TakeText(UrlHost("xhttp://y.z/q")), "xy.z");
  EXPECT_EQ(TakeText(UrlHost("")), "");
}

TEST_F(Url, PathStartsAtFirstSlashAfterHost) {
  EXPECT_EQ(TakeText(UrlPath("http://host")), "/");
  EXPECT_EQ(TakeText(UrlPath("http://host/p/x?from=tieba")), "/p/x?from=tieba");
  EXPECT_EQ(TakeText(UrlPath("http://HOST:8080/a")), "/a");
  EXPECT_EQ(TakeText(UrlPath("https://host/s")), "/s");
  EXPECT_EQ(TakeText(UrlPath("")), "/");
}

// Locations resolve as RFC 3986 resolves references (its own examples against its base), with
// the scheme in any letter case, the fragment dropped, unsafe bytes escaped, and only web
// addresses with a host and a usable port accepted.
TEST_F(Url, RedirectTargetsResolveAsReferencesDo) {
  const std::pair<const char*, const char*> rfc[] = {
      {"g", "http://a/b/c/g"},          {"./g", "http://a/b/c/g"},       {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},             {"//g", "http://g"},             {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},      {"#s", "http://a/b/c/d;p?q"},    {"g#s", "http://a/b/c/g"},
      {";x", "http://a/b/c/;x"},        {"", "http://a/b/c/d;p?q"},      {".", "http://a/b/c/"},
      {"..", "http://a/b/"},            {"../g", "http://a/b/g"},        {"../..", "http://a/"},
      {"../../../g", "http://a/g"},     {"/./g", "http://a/g"},          {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},        {"..g", "http://a/b/c/..g"},     {"./../g", "http://a/b/g"},
      {"g/./h", "http://a/b/c/g/h"},    {"g/../h", "http://a/b/c/h"},    {"g;x=1/../y", "http://a/b/c/y"},
      {"HTTPS://Other:82/p#f", "https://Other:82/p"}, {" /sp ace?\xD5\xC5 ", "http://a/sp%20ace?%D5%C5"},
  };
  for (const auto& [location, expected] : rfc)
    EXPECT_EQ(ResolveLocation("http://a/b/c/d;p?q", location).value_or("(none)"), expected) << location;
  EXPECT_EQ(ResolveLocation("http://host/p/%61?from=tieba", "?a=1").value_or(""), "http://host/p/%61?a=1");
  EXPECT_EQ(ResolveLocation("http://host?a=/b", "next").value_or(""), "http://host/next");
  for (const char* refused : {"ftp://a/b", "mailto:x@y", "http:///nohost", "http://a:0/", "http://a:70000/", "http://a:8x/"})
    EXPECT_FALSE(ResolveLocation("http://a/b", refused)) << refused;
}

// A leg's target: TLS for https, the port named or the scheme's own, the host in lower case
// without user information or brackets, "/" for an empty path, the query kept. The authority
// is read as RFC 3986 reads one, and anything else in it refuses the address.
TEST_F(Url, LegAddressesSplitIntoTheirTargets) {
  struct Case { const char* address; bool secure; const char* host; uint32_t port; const char* object; };
  for (const Case& c : {Case{"https://Www.Baidu.com/p/x?from=tieba", true, "www.baidu.com", 443, "/p/x?from=tieba"},
                        Case{"http://user:pw@host:8080", false, "host", 8080, "/"},
                        Case{"https://[::1]:4443/a", true, "::1", 4443, "/a"},
                        Case{"http://host?q", false, "host", 80, "/?q"},
                        Case{"http://h:000080/", false, "h", 80, "/"},
                        Case{"http://h:/", false, "h", 80, "/"},
                        Case{"http://10.0.0.1:65535/", false, "10.0.0.1", 65535, "/"},
                        Case{"https://[2001:DB8::ffff:1.2.3.4]/", true, "2001:db8::ffff:1.2.3.4", 443, "/"},
                        Case{"http://a-b_c~%41!$&'()*+,;=/", false, "a-b_c~%41!$&'()*+,;=", 80, "/"}}) {
    std::optional<LegTarget> t = SplitLegAddress(c.address);
    ASSERT_TRUE(t) << c.address;
    EXPECT_EQ(t->secure, c.secure) << c.address;
    EXPECT_EQ(t->host, c.host) << c.address;
    EXPECT_EQ(t->port, c.port) << c.address;
    EXPECT_EQ(t->object, c.object) << c.address;
  }
  for (const char* refused : {"host/x", "http://:80/", "http://h:1:2/", "http://::1/", "http://x@y@z/",
                              "http://h:0000/", "http://h:65536/", "http://h:8x/", "http://[::1/",
                              "http://[::1]x/", "http://[1:2:3:4:5:6:7:8:9]/", "http://[1::2::3]/",
                              "http://[::1%25eth0]/", "http://[::1.2.3.256]/", "http://[h]/",
                              "http://a%4/", "http://a\"b/", "http://a<b>/"})
    EXPECT_FALSE(SplitLegAddress(refused)) << refused;
}

TEST_F(Url, PortNamedOrDefault) {
  EXPECT_EQ(UrlPort("http://host:8080/x"), 8080);
  EXPECT_EQ(UrlPort("http://host"), 80);
  EXPECT_EQ(UrlPort("http://host/x"), 80);
  EXPECT_EQ(UrlPort("HTTP://host:81"), 81);
  EXPECT_EQ(UrlPort("host:82/x"), 82);
  // "https:" is the text before the first "/", and its port text is empty.
  EXPECT_EQ(UrlPort("https://host/x"), 0);
  EXPECT_EQ(UrlPort("http://host:abc/"), 0);
  EXPECT_EQ(UrlPort("http://host:99999999999/"), INT32_MIN);
}

TEST_F(Url, PercentEncodeEscapesEveryByteUnlessKept) {
  EXPECT_EQ(TakeText(PercentEncode("a b", true)), "a%20b");
  EXPECT_EQ(TakeText(PercentEncode("a b")), "%61%20%62");
  EXPECT_EQ(TakeText(PercentEncode("ab1")), "%61%62%31");
  EXPECT_EQ(TakeText(PercentEncode("\t")), "%09");
  EXPECT_EQ(TakeText(PercentEncode("")), "");
  EXPECT_EQ(TakeText(PercentEncode(nullptr, true)), "");
  // GBK is turned into UTF-8 before escaping.
  EXPECT_EQ(TakeText(PercentEncode("张")), "%E5%BC%A0");
  EXPECT_EQ(TakeText(PercentEncode("张", true)), "%E5%BC%A0");
}

TEST_F(Url, KeptRangeIsExactlyCommaToNineAndLetters) {
  std::string all;
  for (int b = 1; b < 0x80; ++b) all += static_cast<char>(b);
  std::string out = TakeText(PercentEncode(all.c_str(), true));
  std::string expected;
  for (int b = 1; b < 0x80; ++b) {
    bool keep = (b >= 0x2C && b <= 0x39) || (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A);
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", b);
    expected += keep ? std::string(1, static_cast<char>(b)) : std::string(buf);
  }
  EXPECT_EQ(out, expected);
}

TEST_F(Url, PercentEncodeKeepsWindowResponsive) {
  // Messages posted to this thread are dispatched while the text is encoded.
  DispatchCounter counter;
  counter.Post();
  counter.Post();
  TakeText(PercentEncode("x"));
  EXPECT_EQ(counter.Dispatched(), 2);
}

}  // namespace
