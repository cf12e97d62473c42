// The EDITSTREAM callback both bare programs stream a line into a rich edit control with, as
// the checker's output box streams its lines: the cookie is a std::string_view of what is still
// to give, shortened as it is given. Header only.
#pragma once

#include <windows.h>

#include <cstring>
#include <string_view>

namespace bench {

inline DWORD CALLBACK GiveText(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* text = reinterpret_cast<std::string_view*>(cookie);
  size_t n = text->size() < static_cast<size_t>(wanted) ? text->size() : static_cast<size_t>(wanted);
  std::memcpy(buffer, text->data(), n);
  text->remove_prefix(n);
  *given = static_cast<LONG>(n);
  return 0;
}

}  // namespace bench
