// The rows of memory growth over a long list: the checker and the floor's programs doing the
// same platform calls, each sampled as its lines come in.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

// One row of the table: what was found, the goal and whether it was met.
struct GrowthRow {
  std::string name;
  int runs = 1;
  std::string found;
  std::string goal;
  std::string met;
};

// What the rows need of the driver: the IDs to type (count, every n-th free or 0 for none),
// the stand-in's record directory emptied, a mode file of the stand-in written or removed
// (empty text), and checker.ini written next to the checker or removed.
struct GrowthContext {
  std::function<std::string(int count, int freeEvery)> ids;
  std::function<void()> clearRecords;
  std::function<void(const std::string& name, const std::string& text)> standinMode;
  std::function<void(const std::string& text)> checkerIni;
};

// Checks 10,000 registered IDs at parallel=16 over plain HTTP and the same behind the
// service's redirect to HTTPS, with the bare parallel fetch (16 workers) beside each, and the
// bare output loop writing 10,000 lines, sampling each program's resident size (and the sizes
// of its heaps) every 500 lines. The per-run samples go to stderr.
std::vector<GrowthRow> MemoryGrowthBenchmarks(const GrowthContext& context);

}  // namespace bench
