// Keyboard and mouse pre-translation of a form window: Tab order, Enter, Escape, F1, arrow
// keys among option buttons, Alt mnemonics, dragging by the client area and the common events.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "forms/window_template.h"

namespace forms {

class FormWindow;

// Menu commands carry the item index plus this base as their command id.
inline constexpr uint32_t kMenuCommandBase = 20000;

// Unit indexes of the focus candidates of one instance of a window in Tab order: visible,
// enabled, tab-stop units of focusable classes, by tab-order word ascending and, among equal
// words, by descending index.
std::vector<uint32_t> TabOrder(const InstanceUnits& units);
// The window of the first unit in Tab order, or null.
HWND FirstInTabOrder(FormWindow& form);
// Moves the focus from the unit of `from` (the focused window when null) to the next (or
// previous) unit in Tab order, wrapping round.
void MoveFocus(FormWindow& form, bool forward, HWND from = nullptr);
// The unit index whose caption carries the mnemonic "&" + key (letters also in lower case),
// among visible, enabled units of captioned classes in index order; -1 when none.
int32_t FindMnemonicUnit(FormWindow& form, uint32_t key);

// Raises the event of the menu item with command id `command`.
void RaiseMenuCommand(FormWindow& form, uint32_t command);

}  // namespace forms
