// Trials of the checker against large, unusual and busy use, run by hand inside the stand-in's
// isolated network (they take several minutes, too long for the test suite):
//   tools/standin/run-isolated.sh tools/wine-run.sh build/bin/checker_trials.exe [case]
// Each case starts the real program, types its IDs, clicks, and while the lines come in asks
// the output box every half second whether it still answers within a second. It then compares
// the lines with one verdict line per ID, ends the program with the exit button and reads the
// exit code. Printed per case: IDs, lines expected and seen, crashes (the program ended by
// itself, or with a code other than 0), hangs (a probe not answered within a second, or lines
// that stopped coming for two minutes) and lost lines (expected lines missing or changed).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tools/checker_driver/checker_driver.h"

namespace {

using checker_driver::Checker;

struct Outcome {
  size_t ids = 0, expected = 0, seen = 0;
  int crashes = 0, hangs = 0, lost = 0;
  DWORD milliseconds = 0;
  std::string first;   // the first line seen
};

std::string Line(const std::string& id, const char* verdict) { return "账号 " + id + verdict; }
const char kRegistered[] = " 已注册！";
const char kFree[] = " 未注册！";

// Runs one check of `ids` (joined with CR LF) until the output box holds `expected` verdict
// lines (those beginning "账号 ") and `others` further lines, and compares the verdict lines
// with `expected` in order; `during` runs every half second while lines come in.
Outcome RunCheck(const std::vector<std::string>& ids, const std::vector<std::string>& expected,
                 size_t others = 0, const std::function<void(Checker&)>& during = {}) {
  Outcome out;
  out.ids = ids.size();
  out.expected = expected.size() + others;
  DWORD start = GetTickCount();
  Checker checker;
  if (!checker.WaitForWindow()) {
    out.crashes = 1;
    return out;
  }
  std::string typed;
  for (size_t i = 0; i < ids.size(); ++i) typed += ids[i] + (i + 1 < ids.size() ? "\r\n" : "");
  checker.Type(typed.c_str());
  checker.Click("检测");
  std::vector<std::string> lines;
  DWORD lastChange = GetTickCount();
  for (;;) {
    if (checker.WaitForExit(0) != 0xDEAD) {
      out.crashes = 1;
      break;
    }
    if (!checker.Answers(1000)) ++out.hangs;
    if (during) during(checker);
    std::vector<std::string> now = checker.Lines();
    if (now.size() != lines.size()) lastChange = GetTickCount();
    lines = now;
    if (lines.size() >= out.expected) break;
    if (GetTickCount() - lastChange > 120000) {
      ++out.hangs;
      break;
    }
    Sleep(500);
  }
  out.seen = lines.size();
  if (!lines.empty()) out.first = lines[0];
  std::vector<std::string> verdicts;
  for (const std::string& line : lines)
    if (line.rfind("账号 ", 0) == 0) verdicts.push_back(line);
  for (size_t i = 0; i < expected.size(); ++i)
    if (i >= verdicts.size() || verdicts[i] != expected[i]) ++out.lost;
  size_t othersSeen = lines.size() - verdicts.size();
  if (othersSeen < others) out.lost += static_cast<int>(others - othersSeen);
  out.milliseconds = GetTickCount() - start;
  if (!out.crashes) {
    checker.Click("退出");
    if (checker.WaitForExit(10000) != 0) ++out.crashes;
  }
  return out;
}

void Print(const char* name, const Outcome& o) {
  std::printf("%-28s ids %6zu  lines %6zu/%-6zu  crashes %d  hangs %d  lost %d  %5.1f s\n", name,
              o.ids, o.seen, o.expected, o.crashes, o.hangs, o.lost, o.milliseconds / 1000.0);
  std::fflush(stdout);
}

// Large and unusual answers, mixed in one check; the 10,000 cookies come last, as every later
// request to the host would carry them.
void LargeAnswers() {
  std::vector<std::string> ids = {"hostile-bigheaders", "hostile-huge", "hostile-zeros",
                                  "hostile-e404",       "hostile-e500", "hostile-chunked",
                                  "hostile-cookies"};
  const char* verdicts[] = {kRegistered, kRegistered, kRegistered, kFree, kRegistered, kFree,
                            kRegistered};
  std::vector<std::string> expected;
  for (size_t i = 0; i < ids.size(); ++i) expected.push_back(Line(ids[i], verdicts[i]));
  Print("large and unusual answers", RunCheck(ids, expected));
}

void TenThousandIds() {
  std::vector<std::string> ids, expected;
  for (int i = 0; i < 10000; ++i) {
    bool free = i % 2;
    ids.push_back((free ? "free" : "taken") + std::to_string(i));
    expected.push_back(Line(ids.back(), free ? kFree : kRegistered));
  }
  Print("10,000 IDs", RunCheck(ids, expected));
}

// Blank IDs and long ones (the longest is sent as a 60,000-byte address).
void BlankAndLongIds() {
  std::vector<std::string> ids = {"", " ", "   ", std::string(1000, 'a'), std::string(20000, 'b')};
  std::vector<std::string> expected = {Line("", kRegistered), Line(" ", kRegistered),
                                       Line("   ", kRegistered),
                                       Line(std::string(1000, 'a'), kRegistered),
                                       Line(std::string(20000, 'b'), kRegistered)};
  Print("blank and long IDs", RunCheck(ids, expected));
}

// Clicks while a check runs: every half second ten clicks on "检测", which are ignored, while
// fewer than 200 lines are out, and one on "说明" (twenty in all), whose five lines land where
// the caret is; the verdict lines must all be there in order.
void ManyClicks() {
  std::vector<std::string> ids, expected;
  for (int i = 0; i < 300; ++i) {
    ids.push_back("taken" + std::to_string(i));
    expected.push_back(Line(ids.back(), kRegistered));
  }
  int usage = 0;
  Print("many clicks", RunCheck(ids, expected, 5 * 20, [&](Checker& checker) {
          // Clicks on "检测" stop before the check ends: a click after it would start a new one.
          if (checker.Lines().size() < 200)
            for (int k = 0; k < 10; ++k) checker.Click("检测");
          if (usage < 20) {
            checker.Click("说明");
            ++usage;
          }
        }));
}

}  // namespace

int main(int argc, char** argv) {
  std::string only = argc > 1 ? argv[1] : "";
  // "id ID": one check of a single ID, for a closer look at one answer.
  if (only == "id" && argc > 2) {
    Outcome o = RunCheck({argv[2]}, {}, 1);
    std::printf("crashes %d  hangs %d  %.1f s: %.80s\n", o.crashes, o.hangs,
                o.milliseconds / 1000.0, o.first.c_str());
    return 0;
  }
  if (only.empty() || only == "large") LargeAnswers();
  if (only.empty() || only == "blank") BlankAndLongIds();
  if (only.empty() || only == "clicks") ManyClicks();
  if (only.empty() || only == "ids") TenThousandIds();
  return 0;
}
