#include "extui/rich_edit_class.h"

#include "extui/rich_edit_unit.h"

namespace extui {
namespace {

// Editor hint: the property exists only at run time (not stored, not shown at design time).
constexpr uint16_t kRunTimeOnly = 0x0008;

// The unit of an object handed back by the runtime (the window object returned by create).
RichEditUnit* UnitOf(void* object) {
  return static_cast<RichEditUnit*>(static_cast<fw::WindowObject*>(object));
}

// 1: create. The first class word is not used; the second is the design flag.
void* __cdecl OpCreate(const void* block, int32_t length, uint32_t style, void* parent,
                       uint32_t controlId, void*, int32_t left, int32_t top, int32_t width,
                       int32_t height, int32_t windowId, int32_t unitId, uint32_t,
                       uint32_t designFlag) {
  RichEditCreateArgs args;
  args.block = block;
  args.blockLength = length;
  args.style = style;
  args.parent = static_cast<HWND>(parent);
  args.controlId = static_cast<int32_t>(controlId);
  args.left = left;
  args.top = top;
  args.width = width;
  args.height = height;
  args.windowId = windowId;
  args.unitId = unitId;
  args.designFlag = static_cast<int32_t>(designFlag);
  RichEditUnit* unit = RichEditUnit::Create(args);
  return unit ? static_cast<fw::WindowObject*>(unit) : nullptr;
}

// 2: query. Question 5 is answered with AllowMultiLines, every other one with 1.
int32_t __cdecl OpQuery(void* object, int32_t question) {
  return object ? UnitOf(object)->Query(question) : 0;
}

// 4: write property. A missing value reads as zero (an empty text).
int32_t __cdecl OpWrite(void* object, int32_t classIndex, const UnitValue* value, int32_t* outWord) {
  if (outWord) *outWord = 0;
  if (!object) return 0;
  const UnitValue v = value ? *value : UnitValue{0, 0};
  return UnitOf(object)->WriteProperty(classIndex, v.first, v.second);
}

// 5: save properties.
void* __cdecl OpSave(void* object) {
  return object ? UnitOf(object)->SaveProperties(nullptr) : nullptr;
}

// 6: read property.
int32_t __cdecl OpRead(void* object, int32_t classIndex, UnitValue* value) {
  if (!object || !value) return 0;
  uint32_t words[2] = {0, 0};
  const bool known = UnitOf(object)->ReadProperty(classIndex, words);
  value->first = words[0];
  value->second = words[1];
  return known ? 1 : 0;
}

// 8: claims key. Enter stays in a multi-line box.
int32_t __cdecl OpClaimsKey(void* object, int32_t key) {
  return object && UnitOf(object)->WantsKey(key) ? 1 : 0;
}

// 9: text visitor. The box's one text is its content; the visitor may replace it, and the block
// comes back saved again (null for a block that cannot be read).
void* __cdecl OpTextVisitor(const void* block, int32_t length, UnitTextVisitorCallback visitor,
                            void* user) {
  RichEditProps props;
  if (!props.Load(block, length)) return nullptr;
  if (visitor) {
    const char* replacement = visitor(props.content.c_str(), user);
    if (replacement) props.content = replacement;
  }
  return props.Save(nullptr);
}

// GBK texts of the property table.
const char kChoicesContext[] = "纯文本\0RTF丰富文本\0";
const char kChoicesBorder[] = "无边框\0凹入式\0凸出式\0浅凹入式\0镜框式\0单线边框式\0";

}  // namespace

const PropertyInfo kRichEditProperties[kRichEditPropertyCount] = {
    {"左边", "left", "左边与父窗口客户区左边的距离(像素)", PROP_TYPE_INT_1001, 0, nullptr},
    {"顶边", "top", "顶边与父窗口客户区顶边的距离(像素)", PROP_TYPE_INT_1001, 0, nullptr},
    {"宽度", "width", "宽度(像素)", PROP_TYPE_INT_1001, 0, nullptr},
    {"高度", "height", "高度(像素)", PROP_TYPE_INT_1001, 0, nullptr},
    {"标记", "tag", "供程序使用的任意文本", PROP_TYPE_TEXT, 0, nullptr},
    {"可视", "visible", "是否显示", PROP_TYPE_BOOL, 0, nullptr},
    {"禁止", "disable", "是否禁止操作", PROP_TYPE_BOOL, 0, nullptr},
    {"鼠标指针", "MousePointer", "鼠标位于其上时显示的指针", PROP_TYPE_MOUSE_POINTER, 0, nullptr},
    {"内容格式", "ContextType", "读写内容与被选择文本时所用的格式", PROP_TYPE_CHOICE, 0,
     kChoicesContext},
    {"内容", "context", "全部内容,格式由“内容格式”决定", PROP_TYPE_TEXT, 0, nullptr},
    {"边框", "border", "边框样式", PROP_TYPE_CHOICE, 0, kChoicesBorder},
    {"背景颜色", "BackColor", "背景颜色,默认为系统颜色", PROP_TYPE_BACK_COLOR, 0, nullptr},
    {"是否允许多行", "AllowMultiLines", "是否为多行编辑框", PROP_TYPE_BOOL, 0, nullptr},
    {"自动换行", "AutoNextLine", "多行时是否自动折行", PROP_TYPE_BOOL, 0, nullptr},
    {"只读", "ReadOnly", "内容是否只读", PROP_TYPE_BOOL, 0, nullptr},
    {"隐藏选择", "HideSel", "失去输入焦点时是否隐藏被选择区", PROP_TYPE_BOOL, 0, nullptr},
    {"最大允许长度", "MaxAllowLength", "可输入的最大字符数,为0表示不限制", PROP_TYPE_INT_1001, 0,
     nullptr},
    {"起始选择位置", "SelStart", "被选择区的起始位置(从0开始),无选择时为输入点位置",
     PROP_TYPE_INT_1001, 0, nullptr},
    {"被选择字符数", "SelLength", "被选择的字符数,为-1表示全部", PROP_TYPE_INT_1001, 0, nullptr},
    {"被选择文本", "SelText", "被选择的文本,写入时替换被选择区", PROP_TYPE_TEXT, kRunTimeOnly,
     nullptr},
    {"是否已更改", "Modified", "内容是否已被更改", PROP_TYPE_BOOL, kRunTimeOnly, nullptr},
};

const UnitClassInfo kRichEditClass = {
    "超级编辑框", "RichEdit", {0, 0, 0}, kRichEditClassFlags, {0, 0, 0},
    kRichEditPropertyCount, kRichEditProperties, &RichEditUnitInterface, {0, 0},
};

void* __cdecl RichEditUnitInterface(int32_t operation) {
  switch (operation) {
    case UNIT_OP_CREATE: return reinterpret_cast<void*>(&OpCreate);
    case UNIT_OP_QUERY: return reinterpret_cast<void*>(&OpQuery);
    case UNIT_OP_WRITE: return reinterpret_cast<void*>(&OpWrite);
    case UNIT_OP_SAVE: return reinterpret_cast<void*>(&OpSave);
    case UNIT_OP_READ: return reinterpret_cast<void*>(&OpRead);
    case UNIT_OP_CLAIMS_KEY: return reinterpret_cast<void*>(&OpClaimsKey);
    case UNIT_OP_TEXT_VISITOR: return reinterpret_cast<void*>(&OpTextVisitor);
    default: return nullptr;
  }
}

// The operations' signatures are the ones the form runtime calls through.
static_assert(std::is_same_v<decltype(&OpCreate), UnitCreateFn>);
static_assert(std::is_same_v<decltype(&OpQuery), UnitQueryFn>);
static_assert(std::is_same_v<decltype(&OpWrite), UnitWriteFn>);
static_assert(std::is_same_v<decltype(&OpSave), UnitSaveFn>);
static_assert(std::is_same_v<decltype(&OpRead), UnitReadFn>);
static_assert(std::is_same_v<decltype(&OpClaimsKey), UnitClaimsKeyFn>);
static_assert(std::is_same_v<decltype(&OpTextVisitor), UnitTextVisitorFn>);

}  // namespace extui
