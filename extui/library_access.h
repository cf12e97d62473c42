// The extended interface library's only way into the runtime: the RuntimeNotify service
// function that the runtime hands over with library event 1. Everything in this folder that
// needs the runtime (heap blocks, events, unit lookups, destruction notices) goes through it.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"
#include "runtime/interface/services.h"

namespace extui {

// Stores the service function (library event 1). Null is accepted and makes every request a
// no-op answering 0, which is also the state before the runtime has initialised the library.
void SetRuntimeNotify(RuntimeNotifyFn notify);
RuntimeNotifyFn GetRuntimeNotify();

// One request to the runtime; 0 while no service function is stored.
int32_t Notify(int32_t code, uint32_t arg1 = 0, uint32_t arg2 = 0);

// Heap blocks of the runtime (the program frees what the library hands it, and the other way
// round), through the allocation requests. RuntimeAlloc never returns null: the runtime ends the
// program when it runs out of memory.
void* RuntimeAlloc(uint32_t size);
void RuntimeFree(void* block);

// A fresh heap copy of a zero-terminated text (null gives an empty text).
char* RuntimeCopyText(const char* text);

}  // namespace extui
