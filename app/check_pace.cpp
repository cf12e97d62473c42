// Retry pauses and the adaptive allowance of requests in flight.
#include "app/check_pace.h"

namespace {

constexpr uint32_t kFirstBackoffMs = 2000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `line` is a field named `name` (lower case); then `value` is what follows the colon.
bool FieldValue(std::string_view line, std::string_view name, std::string_view* value) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (Lower(line[i]) != name[i]) return false;
  *value = line.substr(name.size() + 1);
  return true;
}

}  // namespace

std::optional<uint32_t> RetryAfterSeconds(std::string_view headerBlock) {
  // The status line comes first and holds no field; the first Retry-After line counts.
  while (!headerBlock.empty()) {
    size_t end = headerBlock.find('\n');
    std::string_view line = headerBlock.substr(0, end);
    headerBlock.remove_prefix(end == std::string_view::npos ? headerBlock.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view value;
    if (!FieldValue(line, "retry-after", &value)) continue;
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    if (value.empty()) return std::nullopt;
    uint32_t seconds = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return std::nullopt;
      seconds = seconds > kLongestRetryPause ? seconds : seconds * 10 + (c - '0');
    }
    return seconds < kLongestRetryPause ? seconds : kLongestRetryPause;
  }
  return std::nullopt;
}

uint32_t RetryPauseMs(std::optional<uint32_t> retryAfter, int32_t failedTries, uint32_t seed) {
  uint32_t pause = kFirstBackoffMs;
  for (int32_t i = 1; i < failedTries && pause < kLongestRetryPause * 1000; ++i) pause *= 2;
  if (pause > kLongestRetryPause * 1000) pause = kLongestRetryPause * 1000;
  if (retryAfter) pause = *retryAfter * 1000;
  pause += seed % (pause / 8 + 1);
  return pause < kLongestRetryPause * 1000 ? pause : kLongestRetryPause * 1000;
}

void Allowance::Succeeded(bool retriesWaiting) {
  // Below the level that last failed, the allowance climbs back one a page; from just below it
  // on, one a run, but not while refused requests wait to be asked again: they need the room.
  if (current_ < failedLevel_ - 1) {
    ++current_;
    successes_ = 0;
    return;
  }
  if (retriesWaiting || ++successes_ < current_) return;
  successes_ = 0;
  if (current_ < most_) ++current_;
}

void Allowance::Failed(uint32_t startNumber) {
  // Started before the last halving (the numbers only grow): already accounted for.
  if (startNumber < halvedAt_) return;
  failedLevel_ = current_;
  current_ = current_ > 1 ? current_ / 2 : 1;
  successes_ = 0;
  halvedAt_ = started_;
}
