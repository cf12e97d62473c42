// The check with several IDs in flight at once.
#pragma once

#include <cstdint>

// Checks IDs 1..n of IdList with the requests of up to `parallel` IDs in flight at once. Each
// ID is asked and judged exactly as the one-at-a-time check asks and judges it, and its line
// is written in input order, as soon as it and every ID before it are decided. IDs are started
// at most a few times `parallel` ahead of the first undecided one, so the lines waiting behind
// a slow ID stay few. Stops at once, starting nothing more and writing nothing, when the
// program is ending.
void CheckInParallel(int32_t n, int32_t parallel);
