// Property accesses and template loads that must end the program through the runtime error
// box; the test driving this program reads the box and the exit code.
//   unit_property_probe MODE
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "forms/form_runtime.h"
#include "forms/window_template.h"
#include "runtime/interface/unit_records.h"
#include "tests/forms_templates/test_unit_class.h"

extern "C" const unsigned char kUnitWindowsTemplate[];
extern "C" const unsigned kUnitWindowsTemplateSize;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const char* mode = argv[1];
  testunit::Install();
  ProgramInfo info{};
  info.codeBase = 0x400000;
  info.templateStart = kUnitWindowsTemplate;
  info.templateSize = kUnitWindowsTemplateSize;
  if (!std::strcmp(mode, "truncated")) info.templateSize -= 1;
  if (!std::strcmp(mode, "empty")) info.templateSize = 0;
  forms::LoadWindowTemplate(info);
  const int32_t window = 0x52010010, unit = 0x16010002;
  if (!std::strcmp(mode, "nowindow")) forms::ReadUnitProperty(0x52019999, unit, kPropLeft, -1);
  if (!std::strcmp(mode, "nowindow-write")) forms::WriteUnitProperty(0x52019999, unit, kPropLeft, -1, 1);
  if (!std::strcmp(mode, "nounit")) forms::ReadUnitProperty(window, 0x16019999, kPropLeft, -1);
  if (!std::strcmp(mode, "notloaded")) forms::ReadUnitProperty(window, unit, kCommonPropertyCount, -1);
  if (!std::strcmp(mode, "notloaded-write")) forms::WriteUnitProperty(window, unit, kCommonPropertyCount, -1, 1);
  std::printf("windows=%u\n", forms::TheWindowDirectory().Count());
  return 0;
}
