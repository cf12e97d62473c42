#include "extui/rich_edit_class.h"

#include "extui/rich_edit_unit.h"

namespace extui {
namespace {

// Editor hint: the property exists only at run time (not stored, not shown at design time).
constexpr uint16_t kRunTimeOnly = 0x0008;

// GBK texts of the property table.
const char kChoicesContext[] = "纯文本\0RTF丰富文本\0";
const char kChoicesBorder[] = "无边框\0凹入式\0凸出式\0浅凹入式\0镜框式\0单线边框式\0";

}  // namespace

const PropertyInfo kRichEditProperties[kRichEditPropertyCount] = {
    {"左边", "left", "左边与父窗口客户区左边的距离(像素)", kPropTypeInt1001, 0, nullptr},
    {"顶边", "top", "顶边与父窗口客户区顶边的距离(像素)", kPropTypeInt1001, 0, nullptr},
    {"宽度", "width", "宽度(像素)", kPropTypeInt1001, 0, nullptr},
    {"高度", "height", "高度(像素)", kPropTypeInt1001, 0, nullptr},
    {"标记", "tag", "供程序使用的任意文本", kPropTypeText, 0, nullptr},
    {"可视", "visible", "是否显示", kPropTypeBool, 0, nullptr},
    {"禁止", "disable", "是否禁止操作", kPropTypeBool, 0, nullptr},
    {"鼠标指针", "MousePointer", "鼠标位于其上时显示的指针", kPropTypeMousePointer, 0, nullptr},
    {"内容格式", "ContextType", "读写内容与被选择文本时所用的格式", kPropTypeChoice, 0,
     kChoicesContext},
    {"内容", "context", "全部内容,格式由“内容格式”决定", kPropTypeText, 0, nullptr},
    {"边框", "border", "边框样式", kPropTypeChoice, 0, kChoicesBorder},
    {"背景颜色", "BackColor", "背景颜色,默认为系统颜色", kPropTypeBackColor, 0, nullptr},
    {"是否允许多行", "AllowMultiLines", "是否为多行编辑框", kPropTypeBool, 0, nullptr},
    {"自动换行", "AutoNextLine", "多行时是否自动折行", kPropTypeBool, 0, nullptr},
    {"只读", "ReadOnly", "内容是否只读", kPropTypeBool, 0, nullptr},
    {"隐藏选择", "HideSel", "失去输入焦点时是否隐藏被选择区", kPropTypeBool, 0, nullptr},
    {"最大允许长度", "MaxAllowLength", "可输入的最大字符数,为0表示不限制", kPropTypeInt1001, 0,
     nullptr},
    {"起始选择位置", "SelStart", "被选择区的起始位置(从0开始),无选择时为输入点位置",
     kPropTypeInt1001, 0, nullptr},
    {"被选择字符数", "SelLength", "被选择的字符数,为-1表示全部", kPropTypeInt1001, 0, nullptr},
    {"被选择文本", "SelText", "被选择的文本,写入时替换被选择区", kPropTypeText, kRunTimeOnly,
     nullptr},
    {"是否已更改", "Modified", "内容是否已被更改", kPropTypeBool, kRunTimeOnly, nullptr},
};

static_assert(forms::UnitOperations<RichEditUnit>::ProvidesExactly(
    {kUnitOpCreate, kUnitOpQuery, kUnitOpWrite, kUnitOpSave, kUnitOpRead, kUnitOpClaimsKey,
     kUnitOpTextVisitor}));

constinit const UnitClassInfo kRichEditClass = forms::MakeUnitClass<RichEditUnit>(
    "超级编辑框", "RichEdit", kRichEditClassFlags, kRichEditProperties, &RichEditUnitInterface);

void* __cdecl RichEditUnitInterface(int32_t operation) {
  return forms::UnitOperations<RichEditUnit>::Entry(operation);
}

}  // namespace extui
