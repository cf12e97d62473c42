// A small DLL of our own for the binding tests: stdcall exports by name and by ordinal only.
#include <cstdint>

extern "C" {
__declspec(dllexport) int32_t __stdcall Add2(int32_t a, int32_t b) { return a + b; }
// The alternative build of this library multiplies by 4, so tests can tell which file bound.
#ifndef BIND_FACTOR
#define BIND_FACTOR 3
#endif
__declspec(dllexport) int32_t __stdcall Triple(int32_t a) { return BIND_FACTOR * a; }
// Exported under ordinal 9 without a name.
int32_t __stdcall Hidden(int32_t a) { return a + 100; }
}
