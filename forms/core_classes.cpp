// The core library's data-type table: 51 class records of 56 bytes, of which this program's
// form runtime implements three (window, edit box, button); every other entry is the all-zero
// record of a class the program does not use. The core library's LibraryInfo points here.
//
// The three records are defined beside their classes and copied in when the table is
// initialised. They are constant-initialised
// objects, so they are complete before any dynamic initialisation runs, and the table is
// complete before the runtime reads it at start-up.
#include "runtime/interface/unit_records.h"

namespace forms {
extern const UnitClassInfo kWindowClass;    // form_window.cpp
extern const UnitClassInfo kEditBoxClass;   // edit_box.cpp
extern const UnitClassInfo kButtonClass;    // button.cpp
}  // namespace forms

namespace {

constexpr uint32_t kCoreTypeCount = 51;

// Entries by class number (index = class number - 1).
constexpr uint32_t kWindowIndex = (kWindowTypeId & 0xFFFF) - 1;     // class 1
constexpr uint32_t kEditBoxIndex = (kEditBoxTypeId & 0xFFFF) - 1;   // class 5
constexpr uint32_t kButtonIndex = (kButtonTypeId & 0xFFFF) - 1;     // class 11
static_assert(kWindowIndex == 0 && kEditBoxIndex == 4 && kButtonIndex == 10);

}  // namespace

// Copies of the three records in their class positions; the remaining 40 entries are zero.
extern const UnitClassInfo kCoreDataTypes[kCoreTypeCount];
const UnitClassInfo kCoreDataTypes[kCoreTypeCount] = {
    forms::kWindowClass, {}, {}, {}, forms::kEditBoxClass, {}, {}, {}, {}, {}, forms::kButtonClass,
};
static_assert(sizeof kCoreDataTypes == kCoreTypeCount * 56);
