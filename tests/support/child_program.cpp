// Starting a test program and answering its message boxes until it ends.
#include "tests/support/child_program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

ChildRun RunChild(const std::string& commandLine, DWORD timeoutMs,
                  const std::function<void(DWORD pid)>& tick) {
  ChildRun run;
  std::string command = commandLine;  // CreateProcessA may write into the command line
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return run;
  }
  run.started = true;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    if (HWND box = FindMessageBox(pi.dwProcessId)) {
      run.box = ReadMessageBox(box);
      PressOk(box);
    } else if (tick) {
      tick(pi.dwProcessId);
    }
  }
  run.ended = WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
  if (!run.ended) {
    ADD_FAILURE() << commandLine << ": did not end within " << timeoutMs << " ms";
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  GetExitCodeProcess(pi.hProcess, &run.exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return run;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path);  // text mode: line ends read as "\n"
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}
