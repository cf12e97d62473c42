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

TEST_F(Url, RedirectTargetsResolveAgainstTheAddressThatAnswered) {
  const char* base = "http://Host:81/a/b/page?q=/x/y";
  EXPECT_EQ(TakeText(ResolveLocation(base, "http://other/p")), "http://other/p");
  EXPECT_EQ(TakeText(ResolveLocation(base, " HTTPS://other:82/p ")), "HTTPS://other:82/p");
  EXPECT_EQ(TakeText(ResolveLocation(base, "//other/p")), "http://other/p");
  EXPECT_EQ(TakeText(ResolveLocation(base, "/root?x=1")), "http://Host:81/root?x=1");
  EXPECT_EQ(TakeText(ResolveLocation(base, "next")), "http://Host:81/a/b/next");
  EXPECT_EQ(TakeText(ResolveLocation("http://host", "next")), "http://host/next");
  EXPECT_EQ(TakeText(ResolveLocation("http://host?a=/b", "next")), "http://host/next");
  EXPECT_EQ(TakeText(ResolveLocation("https://host/x/", "")), "https://host/x/");
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
