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
  // Only loads the probe, for the heap sizes; false when it could not be loaded.
  bool Load(HANDLE process);
  // Busy blocks allocated since Attach and not freed; empty when the probe cannot answer.
  std::optional<long> BusyBlocks() const;
  // The busy kilobytes of the process heap, or of the C runtime's heap (`crt`), walked in the
  // program; empty when the probe cannot answer.
  std::optional<long> HeapKilobytes(bool crt) const;

 private:
  HANDLE process_ = nullptr;
  uintptr_t remoteBase_ = 0;
};

}  // namespace bench
