// RuntimeNotify: the service function every library receives at start.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"
#include "runtime/interface/services.h"

namespace rt {

int32_t __cdecl RuntimeNotify(int32_t code, uint32_t arg1, uint32_t arg2);

// Numeric conversion of an argument to a 32-bit integer: byte zero-extended, short
// sign-extended, long its low half, float and double truncated toward zero. Any other tag is
// the runtime error "欲转换数据类型不是数值".
int32_t ArgToInt(const ArgRecord& arg);

}  // namespace rt
