// Reading the check's settings file.
#include "app/check_settings.h"

#include <vector>

#include "program/dll_commands.h"
#include "program/program_values.h"
#include "runtime/interface/constant_area.h"
#include "runtime/interface/core_commands.h"
#include "web/encodings.h"

namespace {

PROGRAM_CONSTANT const char kSettingsFileName[] = "\\checker.ini";

constexpr uint32_t kGbkCodePage = 936;
// The longest value read in full. A longer one is taken as no number rather than judged by a
// part of it.
constexpr uint32_t kLongestValue = 1u << 16;

// The settings file's path as UTF-16, for the wide profile reader: the program's folder is a
// GBK text. Empty when it cannot be converted.
core::Bytes SettingsPath() {
  core::Text path = prog::JoinText(core::GetRunDirectory().c_str(), kSettingsFileName);
  return MultiByteToUtf16(path.c_str(), kGbkCodePage);
}

// The value of [check] parallel, read with a buffer that grows until the value fits: the
// reader fills the buffer to one short of its size when the value is cut. Empty when there is
// none or it is longer than kLongestValue.
std::vector<wchar_t> ReadValue(const wchar_t* path) {
  for (uint32_t size = 64; size <= kLongestValue; size *= 4) {
    std::vector<wchar_t> value(size);
    uint32_t got = dll::GetPrivateProfileStringW(L"check", L"parallel", L"", value.data(), size, path);
    if (got + 1 < size) return value;
  }
  return {};
}

}  // namespace

int32_t ParallelFromText(const wchar_t* value) {
  bool negative = *value == L'-';
  if (*value == L'-' || *value == L'+') ++value;
  if (*value == L'\0') return kMinParallel;
  int32_t number = 0;   // saturates at one past the largest setting
  for (; *value; ++value) {
    if (*value < L'0' || *value > L'9') return kMinParallel;
    number = number > kMaxParallel ? number : number * 10 + (*value - L'0');
  }
  if (negative) return kMinParallel;
  return number < kMinParallel ? kMinParallel : number > kMaxParallel ? kMaxParallel : number;
}

int32_t ReadParallelSetting() {
  core::Bytes path = SettingsPath();
  if (path.empty()) return kMinParallel;
  std::vector<wchar_t> value = ReadValue(reinterpret_cast<const wchar_t*>(path.data()));
  return value.empty() ? kMinParallel : ParallelFromText(value.data());
}
