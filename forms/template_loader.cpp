// Start-up step of the form runtime: the program's window template becomes the runtime's
// WindowDirectory, or the program ends with the template error.
#include <new>

#include "forms/form_runtime.h"
#include "forms/window_template.h"
#include "runtime/errors.h"

namespace forms {

// Reads the template that ProgramInfo names, relocating every handler by its CodeBase. A
// template length of 0 loads no windows. Any read error, and an allocation that fails while
// reading, is one failure: the runtime error "载入窗口模板数据段出错!", which ends the program
// with no window loaded (the directory is filled only after the whole template was read).
void LoadWindowTemplate(const ProgramInfo& info) {
  if (info.templateSize == 0) return;
  try {
    ReadWindowTemplate(info.templateStart, info.templateSize, info.codeBase, TheWindowDirectory());
    return;
  } catch (const TemplateError&) {
  } catch (const std::bad_alloc&) {
  }
  rt::RuntimeError("载入窗口模板数据段出错!", 0);
}

}  // namespace forms
