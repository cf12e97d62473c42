// The driver's side of the heap probe (heap_probe.cpp): loads the probe into a running
// program and reads its count of busy runtime-heap blocks. Each step runs a thread in the
// program's process, at LoadLibraryA or at one of the probe's routines.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace bench {

class HeapProbe {
 public:
  // Loads the probe into `process` and installs its counter; false when any step failed.
  bool Attach(HANDLE process);
  // Busy blocks allocated since Attach and not freed; empty when the probe cannot answer.
  std::optional<long> BusyBlocks() const;

 private:
  HANDLE process_ = nullptr;
  uintptr_t remoteBase_ = 0;
};

}  // namespace bench
