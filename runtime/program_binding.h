// How a program is bound to the runtime: its information record and its entry routine.
// A program's WinMain (forms/program_main.cpp) binds the program's own symbols; a test can
// bind a program of its own making instead.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"

namespace rt {

struct ProgramBinding {
  const ProgramInfo* info = nullptr;
  int32_t(__cdecl* entry)() = nullptr;
};

void BindProgram(const ProgramInfo* info, int32_t(__cdecl* entry)());
const ProgramBinding& BoundProgram();

}  // namespace rt
