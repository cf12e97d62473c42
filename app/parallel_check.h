// The check with several IDs in flight at once, retries, or an adaptive number in flight.
#pragma once

#include <cstdint>

#include "app/check_settings.h"

// Checks IDs 1..n of IdList with the requests of up to `settings.parallel` IDs in flight at
// once, through the proxy the settings name. With `auto` or retries the pace of each host
// follows the service's answers below that ceiling, and an ID whose page failed is asked again
// after a pause, up to `settings.retries` more times (app/check_pace.h, app/check_window.h).
// Each ID is asked and judged exactly as the one-at-a-time check asks and judges it, and its
// line is written in input order, as soon as it and every ID before it are decided. Stops at
// once, starting nothing more and writing nothing, when the program is ending.
void CheckInParallel(int32_t n, const CheckSettings& settings);
