// RuntimeNotify: the service function every library receives at start.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"
#include "runtime/interface/services.h"
#include "runtime/interface/unit_records.h"

namespace rt {

int32_t __cdecl RuntimeNotify(int32_t code, uint32_t arg1, uint32_t arg2);

// Numeric conversion of an argument to a 32-bit integer: byte zero-extended, short
// sign-extended, long its low half, float and double truncated toward zero. Any other tag is
// the runtime error "欲转换数据类型不是数值".
int32_t ArgToInt(const ArgRecord& arg);

// The data-type record of a library type (services 1002 and 2029): the library number (high
// half) must lie within the library table and the type number (low half) within that
// library's type count, both counted from 1. Nothing else about the record is asked, so a
// type that is not a unit (no UnitInterface) is found as well. Null otherwise.
const UnitClassInfo* LibraryTypeRecord(uint32_t type);
// The library that defines a library type, under the same range checks; null otherwise.
const LibraryInfo* LibraryOfType(uint32_t type);

}  // namespace rt
