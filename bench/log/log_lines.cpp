// The handler behind the "说明" button of the output benchmark's build of the checker: the
// benchmark's lines through AppendLogLine, with waiting messages dispatched after each line as
// a check dispatches them between its lines.
#include "app/output_log.h"
#include "bench/common/bench_shared.h"
#include "runtime/interface/core_commands.h"
#include "runtime/interface/runtime_interface.h"

extern "C" HandlerReturn __cdecl AppendManyLines() {
  for (int i = 1; i <= bench::kLogLines; ++i) {
    AppendLogLine(kRed, bench::LogLine(i).c_str());
    core::ProcessEvents();
  }
  return kHandlerNoValue;
}
