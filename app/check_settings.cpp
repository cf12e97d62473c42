// The check's settings.
#include "app/check_settings.h"

#include "app/settings_file.h"

int32_t ParallelFromText(std::u16string_view value) {
  bool negative = !value.empty() && value.front() == u'-';
  if (!value.empty() && (value.front() == u'-' || value.front() == u'+')) value.remove_prefix(1);
  if (value.empty()) return kMinParallel;
  int32_t number = 0;   // saturates at one past the largest setting
  for (char16_t c : value) {
    if (c < u'0' || c > u'9') return kMinParallel;
    number = number > kMaxParallel ? number : number * 10 + (c - u'0');
  }
  if (negative) return kMinParallel;
  return number < kMinParallel ? kMinParallel : number > kMaxParallel ? kMaxParallel : number;
}

int32_t ReadParallelSetting() {
  std::optional<std::u16string> value = SettingsFile().Value(u"check", u"parallel");
  return value ? ParallelFromText(*value) : kMinParallel;
}
