// The rows of memory growth over a long list (memory_growth.h). Each program is driven as in
// the timed rows; while its lines come in, the driver reads its resident size every 500 lines.
// Before the click and once the program answers again after its last line, the heap probe,
// loaded into it, sums the busy blocks of its process heap and of its C runtime's heap: it
// walks them under their locks, which is left to moments when no thread of the program is at
// work (a walk while sixteen threads allocate once left a bare program with every thread
// waiting). Resident growth is taken after the first 1,000 lines: by then every pool (helper
// threads, connections, the output box's first allocations) has reached its size.
#include "bench/driver/memory_growth.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "bench/common/bench_shared.h"
#include "bench/driver/driven_program.h"
#include "bench/driver/heap_probe_client.h"

namespace bench {
namespace {

const char kCheckerTitle[] = "青柚贴吧未注册账号检测机V1.1";
constexpr int kLines = 10000;
constexpr int kSampleEvery = 500;
constexpr int kSettled = 1000;             // lines after which growth counts
constexpr double kAllowanceKb = 2;         // per ID beyond the output loop's own per line
constexpr double kHttpsEndLimitMb = 100;   // resident size at the end of the redirected list

struct Sample {
  int lines = 0;
  double residentMb = 0, privateMb = 0;
  long processHeapKb = -1, crtHeapKb = -1;
};

// The resident and private sizes, and with `probed` the heaps' busy kilobytes.
Sample Measure(const DrivenProgram& program, const HeapProbe& probe, bool probed, int lines) {
  Sample s;
  s.lines = lines;
  PROCESS_MEMORY_COUNTERS counters{sizeof counters};
  if (GetProcessMemoryInfo(program.Process(), &counters, sizeof counters)) {
    s.residentMb = counters.WorkingSetSize / 1048576.0;
    s.privateMb = counters.PagefileUsage / 1048576.0;
  }
  if (probed) {
    s.processHeapKb = probe.HeapKilobytes(false).value_or(-1);
    s.crtHeapKb = probe.HeapKilobytes(true).value_or(-1);
  }
  return s;
}

// One run: the program started, `ids` typed (none for the output loop), `button` clicked, and
// a sample before the click and after every kSampleEvery lines up to kLines. Empty when the
// program did not start or its lines stopped coming.
std::vector<Sample> SampledRun(const std::string& command, const char* title, const std::string& ids,
                               const char* button, const GrowthContext& context, const char* label) {
  std::vector<Sample> samples;
  DrivenProgram program;
  HeapProbe probe;
  if (!program.Start(command) || !program.WaitForWindow(title, 20, 60000)) return samples;
  const bool probed = probe.Load(program.Process());
  if (!ids.empty()) program.Type(ids);
  program.WaitUntilAnswering();
  samples.push_back(Measure(program, probe, probed, 0));
  program.Click(button);
  for (int lines = kSampleEvery; lines <= kLines; lines += kSampleEvery) {
    if (program.WaitForLines(lines, 50, 10 * 60 * 1000) < 0) {
      samples.clear();
      break;
    }
    const bool last = lines + kSampleEvery > kLines;
    if (last) program.WaitUntilAnswering();
    samples.push_back(Measure(program, probe, probed && last, lines));
    context.clearRecords();
    const Sample& s = samples.back();
    std::fprintf(stderr, "  %s: %5d lines, resident %6.1f MB, private %6.1f MB, process heap %6ld KB, C heap %6ld KB\n",
                 label, s.lines, s.residentMb, s.privateMb, s.processHeapKb, s.crtHeapKb);
  }
  program.End();
  context.clearRecords();
  return samples;
}

// The sample at `lines`, which a complete run has.
const Sample& At(const std::vector<Sample>& samples, int lines) { return samples[lines / kSampleEvery]; }

// Kilobytes of resident size per line from kSettled lines to the end.
double GrowthPerLineKb(const std::vector<Sample>& samples) {
  return (At(samples, kLines).residentMb - At(samples, kSettled).residentMb) * 1024 / (kLines - kSettled);
}

std::string Describe(const std::vector<Sample>& samples, const char* per) {
  if (samples.empty()) return "failed";
  char text[160];
  std::snprintf(text, sizeof text, "%.1f -> %.1f MB, +%.2f KB %s after 1,000", samples.front().residentMb,
                At(samples, kLines).residentMb, GrowthPerLineKb(samples), per);
  return text;
}

// The process heap's growth from the click to the end, per line, and the C runtime's heap before
// and after.
std::string DescribeHeaps(const std::vector<Sample>& samples, const char* per) {
  if (samples.empty() || samples.front().processHeapKb < 0 || At(samples, kLines).processHeapKb < 0)
    return "heaps not read";
  char text[160];
  const Sample &before = samples.front(), &end = At(samples, kLines);
  std::snprintf(text, sizeof text, "process heap %+.2f KB %s, C heap %ld -> %ld KB",
                double(end.processHeapKb - before.processHeapKb) / kLines, per, before.crtHeapKb, end.crtHeapKb);
  return text;
}

}  // namespace

std::vector<GrowthRow> MemoryGrowthBenchmarks(const GrowthContext& context) {
  std::vector<GrowthRow> rows;
  const std::string ids = context.ids(kLines, 0);
  const std::vector<Sample> output =
      SampledRun("bare_programs.exe output " + std::to_string(kLines), kBareTitle, "", "说明", context, "output loop");
  rows.push_back({"bare output loop, 10,000 lines", 1, Describe(output, "a line"), "report", "-"});
  rows.push_back({"  its heaps over the same lines", 1, DescribeHeaps(output, "a line"), "report", "-"});
  const double allowance = output.empty() ? -1 : GrowthPerLineKb(output) + kAllowanceKb;

  const struct {
    const char* name;
    const char* redirect;
  } kLists[] = {{"memory, 10,000 IDs over HTTP, parallel=16", ""},
                {"memory, 10,000 IDs behind the redirect", "302"}};
  for (const auto& list : kLists) {
    context.standinMode("https_redirect", list.redirect);
    context.checkerIni("[check]\r\nparallel=16\r\n");
    const std::vector<Sample> ours = SampledRun("checker.exe", kCheckerTitle, ids, "检测", context, "checker");
    context.checkerIni("");
    const std::vector<Sample> floor =
        SampledRun("bare_programs.exe parallel 16", kBareTitle, ids, "检测", context, "bare parallel fetch");
    context.standinMode("https_redirect", "");

    char goal[32];
    std::snprintf(goal, sizeof goal, "<= %.2f KB", allowance);
    GrowthRow row{list.name, 1, Describe(ours, "an ID"), goal, "failed"};
    if (!ours.empty() && allowance > 0) {
      bool met = GrowthPerLineKb(ours) <= allowance;
      if (*list.redirect) {
        met = met && At(ours, kLines).residentMb < kHttpsEndLimitMb;
        std::snprintf(goal, sizeof goal, "<= %.2f KB, < 100 MB", allowance);
        row.goal = goal;
      }
      row.met = met ? "yes" : "NO";
    }
    rows.push_back(row);
    rows.push_back({"  its heaps over the same IDs", 1, DescribeHeaps(ours, "an ID"), "report", "-"});
    rows.push_back({"  bare parallel fetch, 16 workers", 1, Describe(floor, "an ID"), "report", "-"});
  }
  return rows;
}

}  // namespace bench
