// The forum service's web hosts. The local stand-in service (tools/standin) answers under the
// same names, so tests reach it by these names inside their private network.
#pragma once

namespace web {

// Profile pages: "/p/" + escaped ID + "?from=tieba".
inline constexpr const char* kMainHost = "www.baidu.com";
// Search pages: "/f/search/res?ie=utf-8&qw=" + escaped ID.
inline constexpr const char* kForumHost = "tieba.baidu.com";
// The update-check page.
inline constexpr const char* kBlogHost = "hi.baidu.com";

}  // namespace web
