// The check with several IDs in flight at once, retries, or an adaptive number in flight.
#pragma once

#include <cstdint>

#include "app/check_settings.h"

// Checks IDs 1..n of IdList with the requests of up to `settings.parallel` IDs in flight at
// once, through the proxy the settings name. With `adaptive` or retries, the number in flight
// follows the service's answers below that ceiling (app/check_pace.h). Each ID is asked and judged exactly as the one-at-a-time check
// asks and judges it; an ID whose page failed is asked again, up to `settings.retries` more
// times, after a pause (the service's Retry-After, else 2, 4, 8 ... s), and gives the grey line
// only when its last try failed. Its line is written in input order, as soon as it and every
// ID before it are decided. IDs are started at most a few times `parallel` ahead of the first
// undecided one, so the lines waiting behind a slow or waiting ID stay few. Stops at
// once, starting nothing more and writing nothing, when the program is ending.
void CheckInParallel(int32_t n, const CheckSettings& settings);
