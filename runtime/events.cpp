#include "runtime/events.h"

#include "runtime/form_hooks.h"
#include "runtime/runtime_app.h"

namespace rt {
namespace {

constexpr uint32_t kMaxHandlerWords = 24;

// Runs the handler; a value it returned is kept in the record, as wide as the record's result
// field: the low word for the simple form, both halves for the typed form.
template <typename Record>
int32_t CallAndKeepResult(void* handler, const uint32_t* words, Record* record) {
  HandlerReturn result = CallHandler(handler, words);
  TheApp().eventSourceWindow = 0;
  if (result.present) {
    record->resultPresent = 1;
    record->result = static_cast<decltype(record->result)>(result.value);
  }
  return 1;
}

}  // namespace

// Handlers are cdecl, so passing the full word block is safe: the callee reads only its own
// parameters and the caller removes them all.
HandlerReturn CallHandler(void* handler, const uint32_t* w) {
  using Handler = HandlerReturn(__cdecl*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                     uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                     uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                     uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
  static_assert(kMaxHandlerWords == 24);
  return reinterpret_cast<Handler>(handler)(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8],
                                            w[9], w[10], w[11], w[12], w[13], w[14], w[15], w[16],
                                            w[17], w[18], w[19], w[20], w[21], w[22], w[23]);
}

int32_t FireEvent(EventRecord* record) {
  void* handler = Forms().findHandler(record->windowId, record->unitId, record->event, record->argCount);
  return handler ? RunEventHandler(handler, record) : 0;
}

int32_t RunEventHandler(void* handler, EventRecord* record) {
  uint32_t words[kMaxHandlerWords] = {};
  int32_t n = record->argCount < 0 ? 0 : record->argCount > 5 ? 5 : record->argCount;
  for (int32_t i = 0; i < n; ++i) words[i] = record->args[i];
  return CallAndKeepResult(handler, words, record);
}

uint32_t WidenTypedArg(const TypedEventArg& arg, uint32_t out[2]) {
  uint32_t low = static_cast<uint32_t>(arg.value), high = static_cast<uint32_t>(arg.value >> 32);
  out[0] = low;
  out[1] = high;
  if (arg.flags & kTypedArgByRef) return 1;
  if ((arg.flags & kTypedArgFull8) || arg.tag == TYPE_CORE_THIRD) return 2;
  switch (arg.tag) {
    case TAG_BYTE: out[0] = low & 0xFF; return 1;
    case TAG_SHORT: out[0] = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(low))); return 1;
    case TAG_DATETIME:
    case TAG_VALUE8:
    case TAG_LONG:
    case TAG_DOUBLE:
      return 2;
    default:
      return 1;
  }
}

int32_t FireTypedEvent(TypedEventRecord* record) {
  void* handler = Forms().findHandler(record->windowId, record->unitId, record->event, record->argCount);
  return handler ? RunTypedEventHandler(handler, record) : 0;
}

int32_t RunTypedEventHandler(void* handler, TypedEventRecord* record) {
  uint32_t words[kMaxHandlerWords] = {};
  uint32_t used = 0;
  int32_t n = record->argCount < 0 ? 0 : record->argCount > 12 ? 12 : record->argCount;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t pair[2];
    uint32_t count = WidenTypedArg(record->args[i], pair);
    for (uint32_t k = 0; k < count; ++k) words[used++] = pair[k];
  }
  return CallAndKeepResult(handler, words, record);
}

}  // namespace rt
