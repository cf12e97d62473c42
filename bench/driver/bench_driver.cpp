// The checker's benchmarks against the platform's floor. Each benchmark runs the real checker
// and a bare program of our own that makes the same platform calls and nothing else
// (bare_programs), in turn, several times; the table gives both medians, their ratio and the
// goal for it. Only ratios count: absolute times depend on the machine and its load.
//   bench_driver [--runs N] [--ids N] [check] [free] [page] [parallel] [https] [limits] [startup]
//                [commands] [output] [memory] [growth]
// Without names every benchmark runs. --ids N makes each limit row check at most N IDs: a quick
// look that the rows work (their goals are for their own lists). Needs the stand-in service (run-isolated.sh): its record
// directory is cleared after every run, and the parallel rows slow its answers down through
// its delay file there. Progress goes to stderr, the table to stdout.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bench/common/bench_shared.h"
#include "bench/driver/driven_program.h"
#include "bench/driver/heap_probe_client.h"
#include "bench/driver/memory_growth.h"
#include "tests/support/standin_records.h"

namespace {

using bench::DrivenProgram;
using bench::Now;

const char kCheckerTitle[] = "青柚贴吧未注册账号检测机V1.1";

// One line of the table: the medians and the highest acceptable ratio (0: only reported), or,
// for a measurement without a floor, what was found, the goal and whether it was met.
struct Row {
  std::string name;
  double ours = -1;   // seconds, negative when no run succeeded
  double floor = -1;
  double goal = 0;
  int runs = 0;       // runs a side
  std::string found;
  std::string goalText;
  std::string met;
};

std::vector<Row> g_rows;
std::string Seconds(double s);
int g_runs = 0;  // runs per side given on the command line, 0 for each benchmark's own

double Median(std::vector<double> v) {
  v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The directory of the driver, the checker and the bare programs.
std::string ProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  if (char* slash = std::strrchr(path, '\\')) *slash = '\0';
  return path;
}

// Writes `text` as the whole file at `path`, or removes the file when `text` is empty.
void WriteOrRemove(const std::string& path, const std::string& text) {
  if (text.empty()) {
    DeleteFileA(path.c_str());
    return;
  }
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

// Removes what the stand-in recorded (each request's bytes and how it arrived), so that its
// record directory stays small.
void ClearRecords() {
  const std::string path = RecordDirectory();
  if (path.empty()) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\req-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do DeleteFileA((path + "\\" + found.cFileName).c_str());
  while (FindNextFileA(search, &found));
  FindClose(search);
}

// Runs ours and the floor in pairs, alternating which goes first so that a drift of the
// machine's speed falls on both alike, and adds the row of medians. Pairs are run up to
// `maxRuns`, but no further pair is started that would end after `budget` seconds once
// `minRuns` are done: a loaded machine gets fewer runs rather than a run beyond its time.
void Compare(const std::string& name, int minRuns, int maxRuns, double budget, double goal,
             const std::function<double()>& ours, const std::function<double()>& floor) {
  if (g_runs > 0) minRuns = maxRuns = g_runs;
  std::vector<double> o, f;
  const double begin = Now();
  for (int run = 0; run < maxRuns; ++run) {
    double spent = Now() - begin;
    if (run >= minRuns && spent + spent / run > budget) break;
    for (int half = 0; half < 2; ++half) {
      bool oursNow = (half == 0) == (run % 2 == 0);
      double t = oursNow ? ours() : floor();
      ClearRecords();
      (oursNow ? o : f).push_back(t);
      std::fprintf(stderr, "  %s: run %d %s %.3f s\n", name.c_str(), run + 1, oursNow ? "ours " : "floor", t);
    }
  }
  g_rows.push_back({name, Median(o), Median(f), goal, static_cast<int>(o.size())});
}

// IDs, one a line: `count` of them, every `freeEvery`-th (0: none) free, the others registered.
std::string Ids(int count, int freeEvery) {
  std::string text;
  char id[32];
  for (int i = 1; i <= count; ++i) {
    std::snprintf(id, sizeof id, freeEvery && i % freeEvery == 0 ? "free%05d" : "taken%05d", i);
    text += id;
    text += "\r\n";
  }
  return text;
}

// The time from `start` to `seen`, or -1 when the lines did not come or the last one is not
// `expected` (a failed request must not pass for a fast one).
double Elapsed(const DrivenProgram& program, double start, double seen, const std::string& expected) {
  if (seen < 0) return -1;
  if (program.LastLine() != expected) {
    std::fprintf(stderr, "  the last line is not the expected one\n");
    return -1;
  }
  return seen - start;
}

// A whole check from the click to the last line: the program is started, the IDs typed, then
// "检测" clicked. Seconds, negative on failure. `failedLines`, when given, gets the number of
// grey failure lines; `beforeClick`, when given, runs once the program's window is there.
double TimeCheck(const std::string& command, const char* title, const std::string& ids, int lines, int pollMs,
                 const std::string& lastLine, int* failedLines = nullptr,
                 const std::function<void()>& beforeClick = {}) {
  DrivenProgram program;
  if (!program.Start(command) || !program.WaitForWindow(title, 20, 60000)) return -1;
  program.Type(ids);
  program.WaitUntilAnswering();
  if (beforeClick) beforeClick();
  double start = Now();
  program.Click("检测");
  double seen = program.WaitForLines(lines, pollMs, 30 * 60 * 1000);
  program.End();
  if (failedLines) *failedLines = program.LinesHolding("检测失败");
  return Elapsed(program, start, seen, lastLine);
}

// From the start of the process to its window shown.
double TimeStartUp(const std::string& command, const char* title) {
  DrivenProgram program;
  double start = Now();
  if (!program.Start(command) || !program.WaitForWindow(title, 1, 60000)) return -1;
  double seen = program.WindowSeenAt();
  program.End();
  return seen - start;
}

// From the click on "说明" to the last of the output benchmark's lines.
double TimeOutput(const std::string& command, const char* title) {
  DrivenProgram program;
  if (!program.Start(command) || !program.WaitForWindow(title, 20, 60000)) return -1;
  program.WaitUntilAnswering();
  double start = Now();
  program.Click("说明");
  double seen = program.WaitForLines(bench::kLogLines, 20, 30 * 60 * 1000);
  program.End();
  return Elapsed(program, start, seen, bench::LogLine(bench::kLogLines));
}

// The row "parallel=8 speed-up over parallel=1": the checker's median time at parallel=1 over
// its median at parallel=8, with the same for the floor beside it.
Row SpeedUpRow(const Row& sequential, const Row& eight) {
  Row row{"  parallel=8 speed-up over parallel=1", -1, -1, 0, std::min(sequential.runs, eight.runs)};
  row.goalText = ">= 6";
  row.met = "failed";
  if (sequential.ours <= 0 || eight.ours <= 0) {
    row.found = "a row it needs failed";
    return row;
  }
  const double ours = sequential.ours / eight.ours;
  char text[64];
  if (sequential.floor > 0 && eight.floor > 0)
    std::snprintf(text, sizeof text, "%.2f times (floor %.2f)", ours, sequential.floor / eight.floor);
  else
    std::snprintf(text, sizeof text, "%.2f times", ours);
  row.found = text;
  row.met = ours >= 6 ? "yes" : "NO";
  return row;
}

void CheckBenchmarks(const std::set<std::string>& chosen) {
  if (chosen.count("check")) {
    const std::string ids = Ids(1000, 0), last = "账号 taken01000 已注册！";
    Compare("check, 1,000 registered IDs", 2, 5, 150, 1.15,
            [&] { return TimeCheck("checker.exe", kCheckerTitle, ids, 1000, 20, last); },
            [&] { return TimeCheck("bare_programs.exe check 1", bench::kBareTitle, ids, 1000, 20, last); });
  }
  if (chosen.count("free")) {
    const std::string ids = Ids(500, 1), last = "账号 free00500 未注册！";
    Compare("check, 500 free IDs (2 requests each)", 2, 5, 150, 1.15,
            [&] { return TimeCheck("checker.exe", kCheckerTitle, ids, 500, 20, last); },
            [&] { return TimeCheck("bare_programs.exe check 2", bench::kBareTitle, ids, 500, 20, last); });
  }
  if (chosen.count("page")) {
    const std::string id = "big16777216\r\n", last = "账号 big16777216 已注册！";
    Compare("one ID, 16 MB profile page", 2, 7, 60, 1.15,
            [&] { return TimeCheck("checker.exe", kCheckerTitle, id, 1, 10, last); },
            [&] { return TimeCheck("bare_programs.exe check 1", bench::kBareTitle, id, 1, 10, last); });
  }
}

// A check of 1,000 registered IDs whose pages the stand-in answers after 100 ms, with
// `parallel` exchanges in flight: the checker told so by checker.ini next to it, the floor by
// its number of worker threads. The speed-up row compares the checker's own medians.
void ParallelBenchmarks() {
  const std::string ids = Ids(1000, 0), last = "账号 taken01000 已注册！";
  const std::string ini = ProgramDirectory() + "\\checker.ini";
  WriteOrRemove(RecordDirectory() + "\\delay_ms", "100");
  // Sequential, a run takes over 100 s a side; one pair is enough, the delay dominates.
  const struct {
    int parallel, minRuns, maxRuns;
    double budget, goal;
  } kRows[] = {{1, 1, 3, 300, 0}, {8, 3, 7, 120, 1.2}, {16, 3, 7, 120, 1.2}};
  Row sequential, eight;
  for (const auto& row : kRows) {
    const std::string n = std::to_string(row.parallel), floor = "bare_programs.exe parallel " + n;
    WriteOrRemove(ini, "[check]\r\nparallel=" + n + "\r\n");
    Compare("parallel=" + n + ", 1,000 IDs, pages after 100 ms", row.minRuns, row.maxRuns, row.budget, row.goal,
            [&] { return TimeCheck("checker.exe", kCheckerTitle, ids, 1000, 20, last); },
            [&] { return TimeCheck(floor, bench::kBareTitle, ids, 1000, 20, last); });
    WriteOrRemove(ini, "");
    if (row.parallel == 1) sequential = g_rows.back();
    if (row.parallel == 8) eight = g_rows.back();
  }
  WriteOrRemove(RecordDirectory() + "\\delay_ms", "");
  g_rows.push_back(SpeedUpRow(sequential, eight));
}

// One mode file of the stand-in and its text (tools/standin/standin.py lists them).
struct StandInMode {
  const char* name;
  std::string text;
};

// The number of IDs a limit row checks: its own, or fewer when --ids says so.
int g_limitIds = 0;
int LimitIds(int own) { return g_limitIds > 0 ? std::min(own, g_limitIds) : own; }

// A count as the row names write it: 2,000.
std::string Count(int n) {
  char text[16];
  if (n >= 1000) std::snprintf(text, sizeof text, "%d,%03d", n / 1000, n % 1000);
  else std::snprintf(text, sizeof text, "%d", n);
  return text;
}

// The requests the stand-in recorded since its records were last cleared.
int RecordedRequests() {
  int count = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((RecordDirectory() + "\\req-*.bin").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// A check of `count` registered IDs with `settings` as checker.ini and the stand-in's `modes`.
// The modes hold from the click on: they are written once the window is up (the start-up's
// update check, right after the last run's requests, would be refused by a limit a second) and
// removed after the run, with checker.ini; the records are cleared at the click, so
// `requests` gets the check's own. Seconds from the click to the last line, which must be the
// last ID's verdict (its grey line when `allGrey`); negative on failure. The grey lines add up
// in `grey`.
double LimitedCheck(const std::string& settings, const std::vector<StandInMode>& modes, int count, bool allGrey,
                    int* grey, int* requests = nullptr) {
  const std::string ini = ProgramDirectory() + "\\checker.ini";
  char last[64];
  std::snprintf(last, sizeof last, "账号 taken%05d %s", count, allGrey ? "检测失败！" : "已注册！");
  WriteOrRemove(ini, settings);
  int failed = 0;
  double t = TimeCheck("checker.exe", kCheckerTitle, Ids(count, 0), count, 50, last, &failed, [&] {
    ClearRecords();
    for (const StandInMode& mode : modes) WriteOrRemove(RecordDirectory() + "\\" + mode.name, mode.text);
  });
  if (requests) *requests = RecordedRequests();
  *grey += failed;
  WriteOrRemove(ini, "");
  for (const StandInMode& mode : modes) WriteOrRemove(RecordDirectory() + "\\" + mode.name, "");
  ClearRecords();
  return t;
}

// `runs` checks (or --runs) of `what`, each reported as it ends; their times.
std::vector<double> Repeat(const std::string& name, int runs, const std::function<double()>& what) {
  std::vector<double> times;
  if (g_runs > 0) runs = g_runs;
  for (int run = 0; run < runs; ++run) {
    times.push_back(what());
    std::fprintf(stderr, "  %s: run %d %.3f s\n", name.c_str(), run + 1, times.back());
  }
  return times;
}

// A row of what was found, the goal and whether it was met; or of what was found, only reported.
Row FoundRow(const std::string& name, int runs, const std::string& found, const std::string& goal, bool met) {
  return {name, -1, -1, 0, runs, found, goal, met ? "yes" : "NO"};
}
Row ReportRow(const std::string& name, int runs, const std::string& found) {
  return {name, -1, -1, 0, runs, found, "report", "-"};
}

// The rows of a service that limits its clients or says no in other ways (README, "Benchmarks"):
// pages after 100 ms, parallel=auto (with its default retries) unless said otherwise. Limits
// refuse with 429 and Retry-After: 1 unless said otherwise.
// - 2,000 IDs against at most 6 requests in flight, set against the checker itself at
//   parallel=6 against a stand-in that refuses nothing, the best a client knowing the limit
//   could do; against at most 20 requests a second, set against the list's length over that
//   rate, the least time any client can take; parallel=8 with retries=3 against 6 in flight,
//   only reported.
// - 1,000 IDs against 6 in flight refused with Retry-After: 120, set against parallel=6
//   unrefused plus the one pause a refusal asks for.
// - 300 IDs against 5 requests a second with no burst (none within 200 ms of the last one
//   accepted), refused with 503 without Retry-After, set against 300 / 5 s.
// - 1,000 IDs of which 5 % of the answers are cut by a connection reset (seeded, the same in
//   every run), set against the same check without resets.
// - 300 IDs against a service that refuses everything with 503 without Retry-After: every line
//   grey, within 180 s, and the requests per ID.
// - 1,000 IDs against 6 in flight and an outage (every request refused) from 5 s to 35 s
//   after the click, in the middle of the list: no grey line.
// Every row counts the grey lines of its runs: a refusal must cost a retry, never a verdict.
void LimitBenchmarks() {
  const std::string autoIni = "[check]\r\nparallel=auto\r\n";
  WriteOrRemove(RecordDirectory() + "\\delay_ms", "100");
  int grey = 0;
  auto greyRow = [&](const char* name, int runs) {
    g_rows.push_back(FoundRow(name, runs, std::to_string(grey) + " grey lines", "0", grey == 0));
    grey = 0;
  };
  // A row against a limit of requests a second: its floor is the list's length over the rate.
  auto rateRow = [&](const std::string& what, int ids, int perSecond, const std::vector<StandInMode>& modes) {
    const std::string name = what + ", vs " + Count(ids) + " / " + std::to_string(perSecond) + " per s";
    std::vector<double> times = Repeat(name, 2, [&] { return LimitedCheck(autoIni, modes, ids, false, &grey); });
    g_rows.push_back({name, Median(times), ids / static_cast<double>(perSecond), 1.25, static_cast<int>(times.size())});
  };

  const int many = LimitIds(2000);
  Compare("auto, 6 at once, vs parallel=6 unlimited", 2, 5, 300, 1.25,
          [&] { return LimitedCheck(autoIni, {{"limit_concurrent", "6"}}, many, false, &grey); },
          [&] { return LimitedCheck("[check]\r\nparallel=6\r\n", {}, many, false, &grey); });
  // The baseline's runs add no grey lines: it is never refused.
  greyRow("  grey lines of auto, 6 at once", g_rows.back().runs);

  rateRow("auto, 20 a second", many, 20, {{"limit_rate", "20"}});
  greyRow("  grey lines of auto, 20 a second", g_rows.back().runs);

  std::vector<double> times = Repeat("parallel=8 retries=3, 6 at once", 2, [&] {
    return LimitedCheck("[check]\r\nparallel=8\r\nretries=3\r\n", {{"limit_concurrent", "6"}}, many, false, &grey);
  });
  g_rows.push_back(ReportRow("parallel=8 retries=3, 6 at once", static_cast<int>(times.size()), Seconds(Median(times))));
  greyRow("  grey lines of parallel=8 retries=3", g_rows.back().runs);

  const int thousand = LimitIds(1000);
  {
    const char name[] = "auto, 6 at once, Retry-After: 120";
    int unused = 0;
    std::vector<double> base = Repeat("parallel=6 unlimited", 1, [&] {
      return LimitedCheck("[check]\r\nparallel=6\r\n", {}, thousand, false, &unused);
    });
    times = Repeat(name, 2, [&] {
      return LimitedCheck(autoIni, {{"limit_concurrent", "6"}, {"retry_after", "120"}}, thousand, false, &grey);
    });
    const double ours = Median(times), bound = 1.25 * Median(base) + 120;
    g_rows.push_back(FoundRow(name, static_cast<int>(times.size()),
                              Seconds(ours) + " (parallel=6 unlimited " + Seconds(Median(base)) + ")",
                              "<= 1.25 x that + 120 s", ours > 0 && Median(base) > 0 && ours <= bound));
    greyRow("  grey lines of auto, Retry-After: 120", g_rows.back().runs);
  }

  rateRow("auto, 5 a second, no burst", LimitIds(300), 5,
          {{"limit_rate", "5 503 spaced"}, {"retry_after", "none"}});
  greyRow("  grey lines of auto, 5 a second", g_rows.back().runs);

  Compare("auto, 5 % reset, vs auto without", 2, 4, 300, 1.3,
          [&] { return LimitedCheck(autoIni, {{"resets", "5 1"}}, thousand, false, &grey); },
          [&] { return LimitedCheck(autoIni, {}, thousand, false, &grey); });
  greyRow("  grey lines of auto, 5 % reset", g_rows.back().runs);

  {
    const int ids = LimitIds(300);
    const std::string name = "auto, refusing everything, " + Count(ids) + " IDs";
    int requests = 0, totalRequests = 0;
    times = Repeat(name, 2, [&] {
      double t = LimitedCheck(autoIni, {{"refuse_all", "503"}, {"retry_after", "none"}}, ids, true, &grey, &requests);
      totalRequests += requests;
      return t;
    });
    const int runs = static_cast<int>(times.size());
    const double worst = *std::max_element(times.begin(), times.end());
    const bool ended = std::none_of(times.begin(), times.end(), [](double t) { return t < 0; });
    g_rows.push_back(FoundRow(name, runs, ended ? "ends after " + Seconds(worst) + " at most" : "failed",
                              "<= 180 s", ended && worst <= 180));
    g_rows.push_back(FoundRow("  grey lines of refusing everything", runs,
                              std::to_string(grey) + " of " + std::to_string(ids * runs) + " grey lines", "all",
                              grey == ids * runs));
    grey = 0;
    char perId[64];
    std::snprintf(perId, sizeof perId, "%.2f requests per ID", totalRequests / static_cast<double>(ids * runs));
    g_rows.push_back(FoundRow("  requests of refusing everything", runs, perId, "<= 1.2",
                              totalRequests <= 1.2 * ids * runs));
  }

  {
    const char name[] = "auto, 6 at once, refused from 5 s to 35 s";
    times = Repeat(name, 2, [&] {
      return LimitedCheck(autoIni, {{"limit_concurrent", "6"}, {"outage", "5 35"}}, thousand, false, &grey);
    });
    g_rows.push_back(ReportRow(name, static_cast<int>(times.size()), Seconds(Median(times))));
    greyRow("  grey lines of the outage", g_rows.back().runs);
  }
  WriteOrRemove(RecordDirectory() + "\\delay_ms", "");
}

// The service's own habit: every plain-HTTP profile request is sent to HTTPS by a redirect, so
// each of 1,000 registered IDs takes two legs, the second over TLS, each answered after 100 ms;
// eight in flight. The floor's worker threads follow the redirect with the same calls.
void HttpsBenchmark() {
  const std::string ids = Ids(1000, 0), last = "账号 taken01000 已注册！";
  const std::string ini = ProgramDirectory() + "\\checker.ini";
  WriteOrRemove(RecordDirectory() + "\\delay_ms", "100");
  WriteOrRemove(RecordDirectory() + "\\https_redirect", "302");
  WriteOrRemove(ini, "[check]\r\nparallel=8\r\n");
  Compare("parallel=8, redirected to HTTPS, 100 ms", 3, 7, 150, 1.2,
          [&] { return TimeCheck("checker.exe", kCheckerTitle, ids, 1000, 20, last); },
          [&] { return TimeCheck("bare_programs.exe parallel 8", bench::kBareTitle, ids, 1000, 20, last); });
  WriteOrRemove(ini, "");
  WriteOrRemove(RecordDirectory() + "\\https_redirect", "");
  WriteOrRemove(RecordDirectory() + "\\delay_ms", "");
}

void StartUpBenchmark() {
  // The first start of each writes and loads files for the first time; it is not counted.
  TimeStartUp("checker.exe", kCheckerTitle);
  TimeStartUp("bare_programs.exe window", bench::kBareTitle);
  TimeStartUp("bare_programs.exe start", bench::kBareTitle);
  ClearRecords();
  Compare("start-up to the start window shown", 3, 11, 60, 1.3,
          [] { return TimeStartUp("checker.exe", kCheckerTitle); },
          [] { return TimeStartUp("bare_programs.exe window", bench::kBareTitle); });
  // The same against a bare program that also makes the platform calls of the start window's
  // units and of the runtime's initialisation: what is left is the checker's own.
  Compare("  the same, floor with the window's units", 3, 11, 60, 0,
          [] { return TimeStartUp("checker.exe", kCheckerTitle); },
          [] { return TimeStartUp("bare_programs.exe start", bench::kBareTitle); });
}

void OutputBenchmark() {
  Compare("10,000 AppendLogLine calls", 1, 3, 240, 1.15,
          [] { return TimeOutput("checker_log_lines.exe", kCheckerTitle); },
          [] { return TimeOutput("bare_programs.exe output", bench::kBareTitle); });
}

// The text command rows, measured inside commands_bench (a command takes milliseconds there,
// far too little to time from another process).
void CommandBenchmarks() {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  char command[] = "commands_bench.exe";
  BOOL started = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  std::string output;
  char buffer[4096];
  DWORD n;
  while (started && ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n) output.append(buffer, n);
  CloseHandle(readEnd);
  if (started) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  // Lines: row <TAB> name <TAB> runs <TAB> ours <TAB> floor <TAB> goal
  size_t start = 0;
  bool any = false;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    std::string line = output.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? output.size() : end + 1;
    std::vector<std::string> fields;
    for (size_t a = 0, b; a <= line.size(); a = b + 1) {
      b = line.find('\t', a);
      if (b == std::string::npos) b = line.size();
      fields.push_back(line.substr(a, b - a));
    }
    if (fields.size() != 6 || fields[0] != "row") continue;
    g_rows.push_back({fields[1], std::atof(fields[3].c_str()), std::atof(fields[4].c_str()),
                      std::atof(fields[5].c_str()), std::atoi(fields[2].c_str())});
    any = true;
  }
  if (!any) g_rows.push_back({"text commands", -1, -1, 0, 0, "commands_bench.exe gave no rows", "-", "failed"});
}

// A check of 10,000 IDs (every tenth free), counted by the heap probe: the runtime heap's busy
// blocks before the click, after the check and after a check of no IDs (the program keeps the
// IDs of a check until the next one), and the peak working set.
void MemoryBenchmark() {
  const int kIds = 10000;
  Row heap{"runtime heap after a check of 10,000 IDs", -1, -1, 0, 1};
  Row peak{"peak working set of that check", -1, -1, 0, 1};
  heap.goalText = "level";
  peak.goalText = "report";
  heap.met = peak.met = "failed";
  DrivenProgram program;
  bench::HeapProbe probe;
  if (!program.Start("checker.exe") || !program.WaitForWindow(kCheckerTitle, 20, 60000)) {
    heap.found = "the checker did not start";
  } else if (!probe.Attach(program.Process())) {
    heap.found = "the heap probe could not be loaded into the checker";
  } else {
    program.Type(Ids(kIds, 10));
    program.WaitUntilAnswering();
    std::optional<long> before = probe.BusyBlocks();
    PROCESS_MEMORY_COUNTERS start{sizeof start};
    GetProcessMemoryInfo(program.Process(), &start, sizeof start);
    double t0 = Now(), seen = -1;
    program.Click("检测");
    // The stand-in's record directory is emptied as the check goes on: its cost per request
    // grows with the number of files in it.
    for (int waited = 0; waited < 40 * 60 && seen < 0; waited += 10) {
      seen = program.WaitForLines(kIds, 100, 10000);
      ClearRecords();
    }
    // The handler has returned once the window answers; its last blocks are freed by then.
    program.WaitUntilAnswering();
    std::optional<long> kept = probe.BusyBlocks();
    PROCESS_MEMORY_COUNTERS end{sizeof end};
    GetProcessMemoryInfo(program.Process(), &end, sizeof end);
    program.Type("");
    program.ClickAndWait("检测");
    std::optional<long> after = probe.BusyBlocks();
    char text[160];
    if (seen < 0) {
      heap.found = "the check did not finish";
    } else if (!before || !kept || !after) {
      heap.found = "the heap probe did not answer";
    } else {
      std::snprintf(text, sizeof text, "%+ld busy blocks (%+ld with the IDs kept; check took %.0f s)",
                    *after - *before, *kept - *before, seen - t0);
      heap.found = text;
      heap.met = *after == *before ? "yes" : "NO";
      std::snprintf(text, sizeof text, "%.1f MB (%.1f MB before the check)", end.PeakWorkingSetSize / 1048576.0,
                    start.WorkingSetSize / 1048576.0);
      peak.found = text;
      peak.met = "-";
    }
  }
  program.End();
  ClearRecords();
  g_rows.push_back(heap);
  g_rows.push_back(peak);
}

// The rows of memory growth over a long list (memory_growth.cpp).
void GrowthBenchmarks() {
  bench::GrowthContext context;
  context.ids = Ids;
  context.clearRecords = ClearRecords;
  context.standinMode = [](const std::string& name, const std::string& text) {
    WriteOrRemove(RecordDirectory() + "\\" + name, text);
  };
  context.checkerIni = [](const std::string& text) { WriteOrRemove(ProgramDirectory() + "\\checker.ini", text); };
  for (const bench::GrowthRow& row : bench::MemoryGrowthBenchmarks(context))
    g_rows.push_back({row.name, -1, -1, 0, row.runs, row.found, row.goal, row.met});
}

std::string Seconds(double s) {
  char text[32];
  if (s < 0) return "failed";
  if (s < 1) std::snprintf(text, sizeof text, "%.2f ms", s * 1000);
  else std::snprintf(text, sizeof text, "%.2f s", s);
  return text;
}

void PrintTable() {
  std::printf("\n%-44s %5s %12s %12s %7s %7s %s\n", "benchmark", "runs", "ours", "floor", "ratio", "goal", "met");
  for (const Row& row : g_rows) {
    if (!row.found.empty()) {
      std::printf("%-44s %5d %-33s %7s %s\n", row.name.c_str(), row.runs, row.found.c_str(), row.goalText.c_str(),
                  row.met.c_str());
      continue;
    }
    bool measured = row.ours > 0 && row.floor > 0;
    double ratio = measured ? row.ours / row.floor : 0;
    char ratioText[16] = "-", goalText[16] = "report";
    if (measured) std::snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
    if (row.goal > 0) std::snprintf(goalText, sizeof goalText, "<= %.2f", row.goal);
    const char* met = row.goal <= 0 ? "-" : !measured ? "failed" : ratio <= row.goal ? "yes" : "NO";
    std::printf("%-44s %5d %12s %12s %7s %7s %s\n", row.name.c_str(), row.runs, Seconds(row.ours).c_str(),
                Seconds(row.floor).c_str(), ratioText, goalText, met);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::set<std::string> chosen;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) g_runs = std::atoi(argv[++i]);
    else if (arg == "--ids" && i + 1 < argc) g_limitIds = std::atoi(argv[++i]);
    else chosen.insert(arg);
  }
  if (chosen.empty())
    chosen = {"check", "free", "page", "parallel", "https", "limits", "startup", "commands", "output", "memory", "growth"};
  double begin = Now();
  CheckBenchmarks(chosen);
  if (chosen.count("parallel")) ParallelBenchmarks();
  if (chosen.count("https")) HttpsBenchmark();
  if (chosen.count("limits")) LimitBenchmarks();
  if (chosen.count("startup")) StartUpBenchmark();
  if (chosen.count("commands")) CommandBenchmarks();
  if (chosen.count("output")) OutputBenchmark();
  if (chosen.count("memory")) MemoryBenchmark();
  if (chosen.count("growth")) GrowthBenchmarks();
  PrintTable();
  std::fprintf(stderr, "all benchmarks: %.0f s\n", Now() - begin);
  return 0;
}
