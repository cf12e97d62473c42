// The rich edit box's class record and the UnitInterface through which the form runtime
// creates its units and reads and writes their properties.
#pragma once

#include "runtime/interface/unit_records.h"

namespace extui {

inline constexpr uint32_t kRichEditPropertyCount = 21;

// The class record (names, flags 0x40, the 21 property records, the UnitInterface).
extern const UnitClassInfo kRichEditClass;
// The property records, common ones first.
extern const PropertyInfo kRichEditProperties[kRichEditPropertyCount];

// The class's UnitInterface entry: the routine of an operation code, or null.
void* __cdecl RichEditUnitInterface(int32_t operation);

}  // namespace extui
