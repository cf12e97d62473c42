// Event calls: a library asks the runtime to run the program's handler of a unit event.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"

namespace rt {

// Simple form (service 2008): up to 5 argument words. Returns 1 when a handler ran.
int32_t FireEvent(EventRecord* record);
// Typed form (service 2031): up to 12 typed arguments, widened to one or two words each.
int32_t FireTypedEvent(TypedEventRecord* record);

// The handler call of each form once FindHandler found the handler: the arguments become
// parameter words, a returned value is kept in the record. Return 1.
int32_t RunEventHandler(void* handler, EventRecord* record);
int32_t RunTypedEventHandler(void* handler, TypedEventRecord* record);

// The parameter words a typed argument becomes; returns how many (1 or 2).
uint32_t WidenTypedArg(const TypedEventArg& arg, uint32_t out[2]);

// Calls a handler with up to 24 argument words and returns what it returned.
HandlerReturn CallHandler(void* handler, const uint32_t* words);

}  // namespace rt
