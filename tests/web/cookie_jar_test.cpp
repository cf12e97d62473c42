// The jar of cookies set over TLS, on a clock of its own: which cookies a later request to a
// host and path carries, as RFC 6265 stores, matches and expires them.
#include <gtest/gtest.h>

#include <string>

#include "web/cookie_jar.h"

namespace {

using web::CookieJar;

TEST(CookieJar, CookiesGoToTheirDomainAndPathUntilTheyExpire) {
  CookieJar jar;
  const int64_t t = 1000000000;   // 2001
  jar.Keep("www.a.com", "/p/x", "host=1", t);                             // www.a.com, /p
  jar.Keep("www.a.com", "/p/x", " dom = 2 ; Domain=.A.com; Path=/", t);   // all of a.com
  jar.Keep("www.a.com", "/", "short=3; Max-Age=60; expires=Thu, 01 Jan 1970 00:00:00 GMT", t);
  jar.Keep("www.a.com", "/", "dated=4; expires=Sun, 06 Nov 2033 08:49:37 GMT", t);
  jar.Keep("www.a.com", "/", "lonely", t);
  for (const char* refused : {"other=5; domain=b.com", "suffix=6; domain=com", "gone=7; max-age=0"})
    jar.Keep("www.a.com", "/", refused, t);
  EXPECT_EQ(jar.CookiesFor("www.a.com", "/p/y", t), "host=1; dom=2; short=3; dated=4; lonely");
  EXPECT_EQ(jar.CookiesFor("www.a.com", "/px", t), "dom=2; short=3; dated=4; lonely");
  EXPECT_EQ(jar.CookiesFor("img.www.a.com", "/p", t), "dom=2");
  EXPECT_EQ(jar.CookiesFor("a.com", "/", t), "dom=2");
  EXPECT_EQ(jar.CookiesFor("xa.com", "/", t), "");

  // The same name, domain and path replaces a cookie in its place; a past date deletes it.
  jar.Keep("www.a.com", "/p/z", "host=8", t);
  jar.Keep("img.a.com", "/", "dom=x; domain=a.com; path=/; expires=Thu, 01-Jan-1970 00:00:01 GMT", t);
  EXPECT_EQ(jar.CookiesFor("www.a.com", "/p/", t + 61), "host=8; dated=4; lonely");
  EXPECT_EQ(jar.CookiesFor("www.a.com", "/", 2030000000), "lonely");

  for (int i = 1; i <= 51; ++i) jar.Keep("b.com", "/", std::string("n").append(std::to_string(i)).append("=1"), t);
  std::string many = jar.CookiesFor("b.com", "/", t);
  EXPECT_EQ(many.substr(0, 10), "n2=1; n3=1") << "the oldest of 51 on one domain goes";
}

}  // namespace
