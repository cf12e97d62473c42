// Dates of HTTP fields and cookies.
#include <gtest/gtest.h>

#include "web/http_date.h"

namespace {

// Every form an HTTP field or a cookie dates with reads as the same moment; a text missing a
// part, or with one out of range, is no date.
TEST(HttpDate, TheFormsOfFieldsAndCookiesReadAsTheSameMoment) {
  for (const char* date : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "6 nov 1994 8:49:37"})
    EXPECT_EQ(web::HttpDateSeconds(date).value_or(-1), 784111777) << date;
  for (const char* none : {"", "yesterday", "06 Nov 1994", "Sun, 32 Nov 1994 08:49:37 GMT",
                           "Sun, 06 Nov 1994 24:00:00 GMT", "06 Nov 1600 08:49:37"})
    EXPECT_FALSE(web::HttpDateSeconds(none)) << none;
}

}  // namespace
