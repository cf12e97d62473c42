// Process entry of a program: binds the program's own parts and runs the application object.
#include <windows.h>

#include "framework/app.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/program_binding.h"
#include "runtime/runtime_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  rt::BindProgram(&kProgramInfo, &ProgramEntry);
  rt::TheApp();  // constructs the application object before the main routine runs
  return fw::AppMain(instance);
}
