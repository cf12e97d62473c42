#include "tests/forms_templates/test_unit_class.h"

#include <cstring>

#include "runtime/runtime_app.h"

namespace testunit {

int Unit::created = 0;
int Unit::destroyedWhileRecreating = 0;

void Unit::PostNcDestroy() {
  if (forms::RecreatingUnit()) ++destroyedWhileRecreating;
  delete this;
}

bool Record::Serialize(forms::PropertyStream& s) {
  uint32_t version;
  if (!s.VersionField(version, 2)) return false;
  s.Word(number);
  s.Word(low);
  s.Word(high);
  s.Word(flag);
  s.Text(text);
  s.Word(choice);
  s.Block(block);
  s.Block(pointer);
  s.Block(font);
  s.Short(half);
  s.Word(recreate);
  if (version >= 2) s.Word(color);
  return true;
}

Unit* Unit::Create(const forms::UnitCreateArgs& a) {
  Unit* unit = new Unit;
  if (!forms::LoadPropertyRecord(unit->props, a.block, a.blockLength)) {
    delete unit;
    return nullptr;
  }
  unit->windowId = a.windowId;
  unit->unitId = a.unitId;
  const char* cls = fw::RegisterHelperClass(0, LoadCursor(nullptr, IDC_ARROW), nullptr, nullptr);
  if (!unit->fw::WindowObject::Create(0, cls, "", WS_CHILD | WS_VISIBLE | a.style, a.left, a.top, a.width,
                                      a.height, a.parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(a.controlId)))) {
    delete unit;
    return nullptr;
  }
  ++created;
  return unit;
}

// Stores the class form as it comes; the re-create property asks for re-creation on change.
bool Unit::WriteProperty(int32_t index, const UnitValue& v) {
  Record& r = props;
  auto bytes = [&](std::vector<uint8_t>& to) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(v.first));
    to.assign(p, p ? p + v.second : p);
  };
  switch (index) {
    case kPInt: r.number = static_cast<int32_t>(v.first); return false;
    case kPDouble: r.low = v.first; r.high = v.second; return false;
    case kPBool: r.flag = static_cast<int32_t>(v.first); return false;
    case kPText: r.text = reinterpret_cast<const char*>(static_cast<uintptr_t>(v.first)); return false;
    case kPChoice: r.choice = static_cast<int32_t>(v.first); return false;
    case kPBlock: bytes(r.block); return false;
    case kPPointer: bytes(r.pointer); return false;
    case kPFont: bytes(r.font); return false;
    case kPColor: r.color = v.first; return false;
    case kPRecreate: {
      bool changed = r.recreate != static_cast<int32_t>(v.first);
      r.recreate = static_cast<int32_t>(v.first);
      return changed;
    }
    default: return false;
  }
}

bool Unit::ReadProperty(int32_t index, UnitValue* v) {
  Record& r = props;
  auto pointer = [](const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };
  switch (index) {
    case kPInt: *v = {static_cast<uint32_t>(r.number), 0}; return true;
    case kPDouble: *v = {r.low, r.high}; return true;
    case kPBool: *v = {static_cast<uint32_t>(r.flag), 0}; return true;
    case kPText: *v = {pointer(r.text.c_str()), 0}; return true;
    case kPChoice: *v = {static_cast<uint32_t>(r.choice), 0}; return true;
    case kPBlock: *v = {pointer(r.block.data()), static_cast<uint32_t>(r.block.size())}; return true;
    case kPPointer: *v = {pointer(r.pointer.data()), static_cast<uint32_t>(r.pointer.size())}; return true;
    case kPFont:
      if (r.font.size() != kLogFontSize) return false;
      *v = {pointer(r.font.data()), kLogFontSize};
      return true;
    case kPColor: *v = {r.color, 0}; return true;
    case kPRecreate: *v = {static_cast<uint32_t>(r.recreate), 0}; return true;
    default: return false;
  }
}

namespace {

constexpr PropertyInfo P(uint16_t type) { return {nullptr, nullptr, nullptr, type, 0, nullptr}; }

constexpr uint32_t kTotal = static_cast<uint32_t>(kCommonPropertyCount) + kPropertyCount;

const PropertyInfo kProperties[kTotal] = {
    P(1001), P(1001), P(1001), P(1001), P(1005), P(1003), P(1003), P(1011),
    P(1001), P(1002), P(1003), P(1005), P(1006), P(1009), P(1011), P(1013), P(1017), P(1001),
};

const UnitClassInfo kTypes[2] = {
    {"测试", "Test", {}, kClassEvents, {}, kTotal, kProperties,
     &forms::UnitOperations<Unit>::Entry, {}},
    {},
};

}  // namespace

const UnitClassInfo kClass = kTypes[0];
const LibraryInfo kLibrary = {kLibraryFormat, "0", {1, 0, 0}, {}, "测试库", 1, 0, 0, {},
                              2, kTypes, {}, 0, 0, nullptr, {}, nullptr, {}};

void Install() {
  auto& libraries = rt::TheApp().libraries;
  if (libraries.empty() || libraries[0] != &kLibrary) libraries.insert(libraries.begin(), &kLibrary);
}

}  // namespace testunit
