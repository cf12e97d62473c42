// Process entry of a program: starts the form runtime, binds the program's own parts and runs
// the application object. It lives above both the runtime and the form runtime, the one place
// that names them together: here the form runtime hands the runtime its hooks.
#include <windows.h>

#include "forms/form_runtime.h"
#include "framework/app.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/program_binding.h"
#include "runtime/runtime_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  forms::StartFormRuntime();
  rt::BindProgram(&kProgramInfo, &ProgramEntry);
  rt::TheApp();  // constructs the application object before the main routine runs
  return fw::AppMain(instance);
}
