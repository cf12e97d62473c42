#include "runtime/errors.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/gbk_text.h"
#include "runtime/runtime_app.h"

namespace rt {
namespace {

constexpr const char* kNumberedErrors[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};
static_assert(sizeof kNumberedErrors / sizeof *kNumberedErrors == 11);

}  // namespace

const char* NumberedErrorText(int32_t number) {
  // Only 1-11 exist; an out-of-range number still shows its code rather than reading
  // outside the table.
  if (number < 1 || number > 11) return "";
  return kNumberedErrors[number - 1];
}

void FormatErrorText(char* out, uint32_t capacity, const char* message, int32_t code) {
  int n = std::snprintf(out, capacity, "运行时出错!\r\n\r\n");
  if (code != 0 && n >= 0 && static_cast<uint32_t>(n) < capacity)
    n += std::snprintf(out + n, capacity - n, "错误代码：%d\r\n\r\n", code);
  if (message && *message && n >= 0 && static_cast<uint32_t>(n) < capacity)
    std::snprintf(out + n, capacity - n, "错误信息：%s\r\n", message);
}

void RuntimeError(const char* message, int32_t code) {
  RuntimeApp& app = TheApp();
  ++app.eventBlockCount;
  uint32_t capacity = 64 + (message ? static_cast<uint32_t>(std::strlen(message)) : 0);
  char* text = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, capacity));
  if (text) {
    FormatErrorText(text, capacity, message, code);
    fw::GbkMessageBox(nullptr, text, "错误", MB_ICONERROR);
  } else {
    fw::GbkMessageBox(nullptr, "运行时出错!\r\n\r\n", "错误", MB_ICONERROR);
  }
  app.globalsCleanup = nullptr;
  EndProgramNow(-1);
}

void ReportRuntimeError(int32_t number) { RuntimeError(NumberedErrorText(number), number); }

}  // namespace rt
