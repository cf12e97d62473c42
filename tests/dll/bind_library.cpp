// A small DLL of our own for the binding tests: stdcall exports by name and by ordinal only.
#include <cstdint>

extern "C" {
__declspec(dllexport) int32_t __stdcall Add2(int32_t a, int32_t b) { return a + b; }
__declspec(dllexport) int32_t __stdcall Triple(int32_t a) { return 3 * a; }
// Exported under ordinal 9 without a name.
int32_t __stdcall Hidden(int32_t a) { return a + 100; }
}
