// The test programs declare no DLL commands. Until the DLL binding is part of the runtime
// library, its clean-up step needs a stand-in.
namespace rt {
void ReleaseDllCommands() {}
}  // namespace rt
