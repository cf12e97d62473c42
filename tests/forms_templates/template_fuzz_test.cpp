// Damaged templates: every truncation point and thousands of seeded random mutations of the
// start window's template and of the test windows' template. Each case runs in
// template_probe, a child process under a watchdog, and must either load or be refused with
// the template error: never crash, never hang.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/message_box.h"

extern "C" const unsigned char kStartWindowTemplate[];
extern "C" const unsigned kStartWindowTemplateSize;
extern "C" const unsigned char kTestWindowsTemplate[];
extern "C" const unsigned kTestWindowsTemplateSize;

namespace {

std::string TempFile(const char* stem) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + stem + std::to_string(GetCurrentProcessId()) + ".bin";
}

std::string WriteTemplate(const char* stem, const unsigned char* data, unsigned size) {
  std::string path = TempFile(stem);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  return path;
}

struct ProbeResult {
  bool finished = false;   // false: the watchdog ended it
  DWORD exitCode = 0;
  std::string output;
};

// Runs template_probe with `args`, output to a file, ended after `timeoutMs`.
ProbeResult RunProbe(const std::string& args, DWORD timeoutMs = 120000) {
  ProbeResult result;
  std::string outPath = TempFile("probe_out");
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return result;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::string command = "\"";
  command += TestDirectory();
  command += "\\template_probe.exe\" ";
  command += args;
  BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &si, &pi);
  CloseHandle(out);
  if (!started) return result;
  if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_TIMEOUT) {
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  } else {
    result.finished = true;
  }
  GetExitCodeProcess(pi.hProcess, &result.exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::ifstream in(outPath);
  std::getline(in, result.output, '\0');
  DeleteFileA(outPath.c_str());
  return result;
}

// Parses "loaded=N refused=M".
bool Counts(const std::string& output, long* loaded, long* refused) {
  return std::sscanf(output.c_str(), "loaded=%ld refused=%ld", loaded, refused) == 2;
}

// Every proper prefix must be refused; the whole template must load. Chunks keep a failure
// local and each child short.
void CheckAllTruncations(const char* stem, const unsigned char* data, unsigned size) {
  std::string file = WriteTemplate(stem, data, size);
  const unsigned chunk = 6000;
  for (unsigned first = 0; first <= size; first += chunk) {
    unsigned last = std::min(size + 1, first + chunk);
    ProbeResult r = RunProbe("truncate \"" + file + "\" " + std::to_string(first) + " " + std::to_string(last));
    ASSERT_TRUE(r.finished) << "hang in prefixes " << first << ".." << last;
    ASSERT_EQ(0u, r.exitCode) << "prefixes " << first << ".." << last << ": " << r.output;
    long loaded = -1, refused = -1;
    ASSERT_TRUE(Counts(r.output, &loaded, &refused)) << r.output;
    EXPECT_EQ(last == size + 1 ? 1 : 0, loaded) << "prefixes " << first << ".." << last;
    EXPECT_EQ(static_cast<long>(last - first) - loaded, refused);
  }
  DeleteFileA(file.c_str());
}

// `count` seeded mutations in batches; every batch must finish cleanly. Returns the totals.
void CheckMutations(const char* stem, const unsigned char* data, unsigned size, long seed,
                    long count, long* loadedTotal, long* refusedTotal) {
  std::string file = WriteTemplate(stem, data, size);
  const long batch = 500;
  *loadedTotal = *refusedTotal = 0;
  for (long done = 0; done < count; done += batch) {
    std::string args = "mutate \"" + file + "\" " + std::to_string(seed + done) + " " + std::to_string(batch);
    ProbeResult r = RunProbe(args);
    ASSERT_TRUE(r.finished) << "hang in mutations from seed " << seed + done;
    ASSERT_EQ(0u, r.exitCode) << "mutations from seed " << seed + done << ": " << r.output;
    long loaded = 0, refused = 0;
    ASSERT_TRUE(Counts(r.output, &loaded, &refused)) << r.output;
    *loadedTotal += loaded;
    *refusedTotal += refused;
  }
  DeleteFileA(file.c_str());
}

TEST(TemplateDamage, EveryTruncationOfTheStartWindowIsRefused) {
  CheckAllTruncations("start_window", kStartWindowTemplate, kStartWindowTemplateSize);
}

TEST(TemplateDamage, EveryTruncationOfTheTestWindowsIsRefused) {
  CheckAllTruncations("test_windows", kTestWindowsTemplate, kTestWindowsTemplateSize);
}

TEST(TemplateDamage, RandomMutationsLoadOrAreRefused) {
  long loaded = 0, refused = 0;
  CheckMutations("test_windows_m", kTestWindowsTemplate, kTestWindowsTemplateSize, 1000, 3000,
                 &loaded, &refused);
  // Both outcomes must occur, or the mutations are not reaching the structure.
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  CheckMutations("start_window_m", kStartWindowTemplate, kStartWindowTemplateSize, 50000, 1500,
                 &loaded, &refused);
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
