#include "runtime/form_hooks.h"

namespace rt {
namespace {

// A runtime without windows: nothing to load, destroy or find, and every form request 0.
void NoTemplate(const ProgramInfo&) {}
void NoWindows() {}
bool NoStartWindow(int32_t) { return false; }
bool NoneAlive() { return false; }
uint64_t NoProperty(int32_t, int32_t, int32_t, int32_t) { return 0; }
void NoPropertyWrite(int32_t, int32_t, int32_t, int32_t, uint64_t) {}
void* NoHandler(int32_t, int32_t, int32_t, int32_t) { return nullptr; }
int32_t NoIdleEvents(uint32_t, std::vector<HWND>&) { return 0; }
int32_t NoAnswer(uint32_t, uint32_t) { return 0; }

constexpr FormHooks kWithoutWindows = {
    NoTemplate, NoWindows, NoStartWindow, NoneAlive, NoProperty, NoPropertyWrite, NoHandler, NoIdleEvents,
    NoAnswer,   NoAnswer,  NoAnswer,      NoAnswer,  NoAnswer,   NoAnswer,        NoAnswer,  NoAnswer,
    NoAnswer,   NoAnswer,  NoAnswer,      NoAnswer,
};
static_assert(Complete(kWithoutWindows));

const FormHooks* registered = &kWithoutWindows;

}  // namespace

void RegisterFormHooks(const FormHooks& hooks) {
  registered = &hooks;
}

const FormHooks& Forms() { return *registered; }

}  // namespace rt
