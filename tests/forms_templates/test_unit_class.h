// A unit class for the tests: a plain child window whose properties cover every value kind,
// registered as class 1 of a test library at the front of the runtime's library list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "forms/unit_class.h"
#include "forms/unit_operations.h"
#include "framework/window.h"
#include "runtime/interface/unit_records.h"

namespace testunit {

// Class indexes (property number - 8).
enum : int32_t {
  kPInt, kPDouble, kPBool, kPText, kPChoice, kPBlock, kPPointer, kPFont, kPColor, kPRecreate,
  kPropertyCount
};

// The class's own properties; the block stores them all (maximum version 2; the colour only
// from version 2 on).
struct Record : forms::PropertyRecord {
  int32_t number = 7;
  uint32_t low = 0, high = 0;
  int32_t flag = 1;
  std::string text = "default";
  int32_t choice = 0;
  std::vector<uint8_t> block;
  std::vector<uint8_t> pointer;
  std::vector<uint8_t> font;
  uint16_t half = 0x2A;
  uint32_t color = 0xFF000000;
  int32_t recreate = 0;

  void Reset() override { *this = Record(); }
  bool Serialize(forms::PropertyStream& s) override;
};

class Unit : public fw::WindowObject {
 public:
  Record props;
  int32_t windowId = 0, unitId = 0;
  static int created;                    // objects made by the create operation
  static int destroyedWhileRecreating;   // final destructions during a re-creation

 protected:
  void PostNcDestroy() override;

 private:
  friend class forms::UnitOperations<Unit>;
  static Unit* Create(const forms::UnitCreateArgs& args);
  bool WriteProperty(int32_t index, const UnitValue& value);
  bool ReadProperty(int32_t index, UnitValue* value);
  HGLOBAL SaveProperties() { return forms::SavePropertyRecord(props); }
};

// The class record and a library holding it as class 1.
extern const UnitClassInfo kClass;
extern const LibraryInfo kLibrary;
// The type id of the test class once Install() has put the library first in the list.
inline constexpr uint32_t kTypeId = 0x00010001;
void Install();

}  // namespace testunit
