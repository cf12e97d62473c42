// What the whole program shares about its own state.
#pragma once

// True once the program is ending because its last window is gone: the runtime then posts the
// quit message, which message dispatch inside a handler leaves waiting for the message loop.
// Routines that dispatch messages while they work (a check, a request) stop when it is true.
bool ProgramEnding();
