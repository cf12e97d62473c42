// The handler behind the "说明" button of the output benchmark's build of the checker: the
// benchmark's lines through AppendLogLine, with waiting messages dispatched after each line as
// a check dispatches them between its lines.
#include "bench_shared.h"
#include "core_commands.h"
#include "output_log.h"
#include "runtime_interface.h"

extern "C" HandlerReturn __cdecl AppendManyLines() {
  for (int i = 1; i <= bench::kLogLines; ++i) {
    AppendLogLine(kRed, bench::LogLine(i).c_str());
    core::ProcessEvents();
  }
  return kHandlerNoValue;
}
