// The handler of the check button.
#pragma once

#include <cstdint>

#include "runtime/interface/records.h"

// Clears the output box, splits the input box's text into IdList at CR LF and writes one
// verdict line per ID: registered in red, unregistered in green, and in grey when the
// service could not be reached.
extern "C" HandlerReturn __cdecl OnCheckClicked();
