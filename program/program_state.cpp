// The program's state as the message queue tells it.
#include "program/program_state.h"

#include "program/dll_commands.h"

bool ProgramEnding() {
  constexpr uint32_t kQuit = 0x0012;     // WM_QUIT
  constexpr uint32_t kNoRemove = 0;      // PM_NOREMOVE
  dll::Message message{};
  return dll::PeekMessageA(&message, 0, kQuit, kQuit, kNoRemove) != 0;
}
