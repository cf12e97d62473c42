// Pre-translation of a form window's messages: navigation keys, mnemonics, dragging by the
// client area and the common events of units.
#include "forms/keyboard.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "forms/event_dispatch.h"
#include "forms/form_window.h"
#include "forms/unit_class.h"
#include "runtime/runtime_app.h"

namespace forms {
namespace {

// The class of the unit at `index`, with its item; null for menu items and missing classes.
const UnitClassInfo* ClassAt(const InstanceUnits& units, uint32_t index, UnitItem* item) {
  if (units.List().IsMenuItemAt(index)) return nullptr;
  *item = units.List().ItemAt(index);
  return *item ? FindUnitClass(item->TypeId()) : nullptr;
}

// The instance's unit window at `index` when it is live, visible and enabled, or null.
HWND UsableWindow(const InstanceUnits& units, uint32_t index) {
  HWND h = UnitWindow(units.Object(index));
  return h && IsWindowVisible(h) && IsWindowEnabled(h) ? h : nullptr;
}

// The unit index of a window inside the form's instance, or -1.
int32_t IndexOfWindow(FormWindow& form, const InstanceUnits& units, HWND hwnd) {
  int32_t unit = 0;
  if (!FindUnitOfWindow(units, form.Handle(), hwnd, &unit)) return -1;
  return units.List().IndexOf(static_cast<uint32_t>(unit));
}

// A push-button class whose operation 10 says the unit is the default button.
bool IsDefaultButton(const InstanceUnits& units, uint32_t index) {
  UnitItem item;
  const UnitClassInfo* cls = ClassAt(units, index, &item);
  if (cls == nullptr || !(cls->flags & kClassPushButton)) return false;
  auto isDefault = UnitOperationOf<UnitIsDefaultFn>(cls, kUnitOpIsDefault);
  return isDefault && isDefault(units.Object(index)) != 0;
}

// A click by the keyboard is event 0 of the unit; the focus does not move.
void Click(FormWindow& form, const InstanceUnits& units, uint32_t index) {
  RaiseEvent(form.WindowId(), static_cast<int32_t>(units.List().IdAt(index)), 0);
}

// Enter: the focused default button, else the next unit when Enter moves the focus, else the
// first default button in index order. False when nothing took the key.
bool OnEnter(FormWindow& form, const InstanceUnits& units, int32_t focusIndex, HWND from) {
  if (focusIndex > 0 && IsDefaultButton(units, static_cast<uint32_t>(focusIndex))) {
    Click(form, units, static_cast<uint32_t>(focusIndex));
    return true;
  }
  if (form.Properties().enterMovesFocus) {
    MoveFocus(form, true, from);
    return true;
  }
  for (uint32_t i = 1; i < units.Count(); ++i) {
    UnitItem item;
    if (ClassAt(units, i, &item) && UsableWindow(units, i) && IsDefaultButton(units, i)) {
      Click(form, units, i);
      return true;
    }
  }
  return false;
}

// F1: the help file (or the program's name with the extension "hlp"), only when it exists.
bool OnHelpKey(FormWindow& form) {
  const WindowProperties& p = form.Properties();
  if (!p.f1Help) return false;
  std::string file = p.helpFile;
  if (file.empty()) {
    rt::RuntimeApp& app = rt::TheApp();
    file = app.paths.programDirectory + "\\" + app.paths.programFileName;
    size_t dot = file.find_last_of(".\\");
    if (dot != std::string::npos && file[dot] == '.') file.erase(dot);
    file += ".hlp";
  }
  std::wstring widePath = fw::WidePath(file.c_str());
  if (GetFileAttributesW(widePath.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  if (p.helpContext != 0) WinHelpW(form.Handle(), widePath.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(p.helpContext));
  else WinHelpW(form.Handle(), widePath.c_str(), HELP_FINDER, 0);
  form.NoteHelpOpened(file);
  return true;
}

// Arrow keys inside a group of option buttons (the option units with the same parent window)
// move to the previous or next one and select it.
bool OnArrow(const InstanceUnits& units, int32_t focusIndex, bool forward) {
  UnitItem focusItem;
  const UnitClassInfo* focusClass = focusIndex > 0 ? ClassAt(units, focusIndex, &focusItem) : nullptr;
  if (focusClass == nullptr || !(focusClass->flags & kClassOptionButton)) return false;
  HWND parent = GetParent(UnitWindow(units.Object(static_cast<uint32_t>(focusIndex))));
  std::vector<HWND> group;
  size_t at = 0;
  for (uint32_t i = 1; i < units.Count(); ++i) {
    UnitItem item;
    const UnitClassInfo* cls = ClassAt(units, i, &item);
    HWND h = cls && (cls->flags & kClassOptionButton) ? UsableWindow(units, i) : nullptr;
    if (h == nullptr || GetParent(h) != parent) continue;
    if (static_cast<int32_t>(i) == focusIndex) at = group.size();
    group.push_back(h);
  }
  if (group.size() < 2) return true;
  HWND next = group[(at + (forward ? 1 : group.size() - 1)) % group.size()];
  SetFocus(next);
  SendMessageA(next, BM_CLICK, 0, 0);
  return true;
}

// Alt + letter or digit: activates the unit whose caption carries the mnemonic.
bool OnMnemonic(FormWindow& form, const InstanceUnits& units, uint32_t key) {
  int32_t index = FindMnemonicUnit(form, key);
  if (index < 0) return false;
  UnitItem item;
  const UnitClassInfo* cls = ClassAt(units, static_cast<uint32_t>(index), &item);
  HWND h = UnitWindow(units.Object(static_cast<uint32_t>(index)));
  if (cls->flags & kClassPushButton) {
    Click(form, units, static_cast<uint32_t>(index));
  } else if (cls->flags & kClassCheckBox) {
    SendMessageA(h, BM_CLICK, 0, 0);
  } else if (cls->flags & kClassOptionButton) {
    for (uint32_t i = 1; i < units.Count(); ++i) {
      UnitItem other;
      const UnitClassInfo* oc = ClassAt(units, i, &other);
      HWND oh = oc && (oc->flags & kClassOptionButton) ? UnitWindow(units.Object(i)) : nullptr;
      if (oh && oh != h && GetParent(oh) == GetParent(h)) SendMessageA(oh, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    SendMessageA(h, BM_CLICK, 0, 0);
  } else if (cls->flags & kClassLabel) {
    // A label passes the focus on to the unit that follows it in tab order.
    std::vector<uint32_t> order = TabOrder(units);
    UnitItem labelItem = units.List().ItemAt(static_cast<uint32_t>(index));
    for (uint32_t candidate : order) {
      UnitItem c = units.List().ItemAt(candidate);
      bool after = c.TabOrder() > labelItem.TabOrder() ||
                   (c.TabOrder() == labelItem.TabOrder() && candidate < static_cast<uint32_t>(index));
      if (after) {
        SetFocus(UnitWindow(units.Object(candidate)));
        return true;
      }
    }
  } else {
    SetFocus(h);
  }
  return true;
}

// Navigation keys with exactly their modifiers, unless the focused unit claims the key
// (operation 8: a multi-line, writable edit box keeps Enter). A key message goes to the
// focused window, so its target names the focused unit. True when the key was handled.
bool OnNavigationKey(FormWindow& form, const InstanceUnits& units, MSG* msg, int32_t focusIndex) {
  uint32_t key = NormaliseKey(static_cast<uint32_t>(msg->wParam));
  uint32_t modifiers = CurrentModifiers(key);
  UnitItem focusItem;
  const UnitClassInfo* focusClass = focusIndex > 0 ? ClassAt(units, focusIndex, &focusItem) : nullptr;
  auto claims = focusClass ? UnitOperationOf<UnitClaimsKeyFn>(focusClass, kUnitOpClaimsKey) : nullptr;
  if (claims && claims(units.Object(static_cast<uint32_t>(focusIndex)), static_cast<int32_t>(key))) return false;
  HWND target = msg->hwnd;
  if (key == VK_TAB && (modifiers == 0 || modifiers == 2)) {
    MoveFocus(form, modifiers == 0, target);
    return true;
  }
  if (key == VK_RETURN && modifiers == 0) return OnEnter(form, units, focusIndex, target);
  if (key == VK_ESCAPE && modifiers == 0 && form.Properties().escCloses) {
    SendMessageA(form.Handle(), WM_CLOSE, 0, 0);
    return true;
  }
  if (key == VK_F1 && modifiers == 0) return OnHelpKey(form);
  if ((key == VK_UP || key == VK_LEFT || key == VK_DOWN || key == VK_RIGHT) && modifiers == 0)
    return OnArrow(units, focusIndex, key == VK_DOWN || key == VK_RIGHT);
  if (modifiers == 4 && ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')))
    return OnMnemonic(form, units, key);
  return false;
}

}  // namespace

// Candidates must be live, visible, enabled, tab stops and of a focusable class. The sort is
// stable, and equal tab words put the higher index first.
std::vector<uint32_t> TabOrder(const InstanceUnits& units) {
  std::vector<uint32_t> order;
  for (uint32_t i = 1; i < units.Count(); ++i) {
    UnitItem item;
    const UnitClassInfo* cls = ClassAt(units, i, &item);
    if (cls == nullptr || (cls->flags & (kClassWindowless | kClassNoFocus)) || !item.TabStop()) continue;
    if (UsableWindow(units, i) == nullptr) continue;
    order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    int32_t ta = units.List().ItemAt(a).TabOrder(), tb = units.List().ItemAt(b).TabOrder();
    return ta != tb ? ta < tb : a > b;
  });
  return order;
}

// The unit that gets the focus when the window gets it and no child is remembered.
HWND FirstInTabOrder(FormWindow& form) {
  std::optional<InstanceUnits> units = form.Units();
  if (!units) return nullptr;
  std::vector<uint32_t> order = TabOrder(*units);
  return order.empty() ? nullptr : UnitWindow(units->Object(order.front()));
}

// From the focused unit to its neighbour in Tab order; from outside the order, to its first
// (forward) or last (backward) unit.
void MoveFocus(FormWindow& form, bool forward, HWND from) {
  std::optional<InstanceUnits> units = form.Units();
  if (!units) return;
  std::vector<uint32_t> order = TabOrder(*units);
  if (order.empty()) return;
  int32_t current = IndexOfWindow(form, *units, from ? from : GetFocus());
  auto at = std::find(order.begin(), order.end(), static_cast<uint32_t>(current));
  size_t next;
  if (at == order.end()) next = forward ? 0 : order.size() - 1;
  else {
    size_t pos = static_cast<size_t>(at - order.begin());
    next = forward ? (pos + 1) % order.size() : (pos + order.size() - 1) % order.size();
  }
  SetFocus(UnitWindow(units->Object(order[next])));
}

// Scans the captions of visible, enabled units of captioned classes in index order.
int32_t FindMnemonicUnit(FormWindow& form, uint32_t key) {
  std::optional<InstanceUnits> units = form.Units();
  if (!units) return -1;
  uint32_t upper = static_cast<uint32_t>(std::toupper(static_cast<int>(key)));
  for (uint32_t i = 1; i < units->Count(); ++i) {
    UnitItem item;
    const UnitClassInfo* cls = ClassAt(*units, i, &item);
    HWND h = cls && (cls->flags & kClassMnemonicMask) ? UsableWindow(*units, i) : nullptr;
    if (h == nullptr) continue;
    std::string text = fw::GbkWindowText(h);
    const char* caption = text.c_str();
    // "&&" is a plain ampersand; a two-byte character is never split.
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(caption); *p; ++p) {
      if (*p >= 0x81 && p[1]) { ++p; continue; }
      if (*p != '&') continue;
      if (p[1] == '&') { ++p; continue; }
      if (p[1] != 0 && static_cast<uint32_t>(std::toupper(p[1])) == upper) return static_cast<int32_t>(i);
    }
  }
  return -1;
}

// Menu items raise their single event; the item index is the command id less the base.
void RaiseMenuCommand(FormWindow& form, uint32_t command) {
  WindowRecord* record = form.Record();
  if (record == nullptr || command < kMenuCommandBase) return;
  uint32_t index = command - kMenuCommandBase;
  if (!record->units.IsMenuItemAt(index)) return;
  RaiseEvent(form.WindowId(), static_cast<int32_t>(record->units.IdAt(index)), 0);
}

// Everything the form does with a message before it is dispatched (messages for the window
// or one of its children only; child-flagged windows do none of it).
BOOL FormWindow::PreTranslateMessage(MSG* msg) {
  HWND target = msg->hwnd;
  if (child_ || hwnd_ == nullptr || target == nullptr) return FALSE;
  if (target != hwnd_ && !IsChild(hwnd_, target)) return FALSE;
  bool keyMessage = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
  // Keys for a disabled window are dispatched as they are; accelerators come first.
  if (keyMessage && !IsWindowEnabled(target)) return FALSE;
  if (keyMessage && accelerators_ && TranslateAcceleratorA(hwnd_, accelerators_.Get(), msg)) return TRUE;
  // A window of another loaded window record between the target and this form owns it.
  for (HWND h = target; h && h != hwnd_; h = GetParent(h)) {
    auto* other = dynamic_cast<FormWindow*>(fw::WindowObject::FromHandlePermanent(h));
    if (other && other != this) return FALSE;
  }
  std::optional<InstanceUnits> instance = Units();
  if (!instance) return FALSE;
  const InstanceUnits& units = *instance;
  const int32_t windowId = windowId_;
  const HWND self = hwnd_;

  // Classes that pre-translate (operation 11) may consume the message.
  for (uint32_t i = 1; i < units.Count(); ++i) {
    UnitItem item;
    const UnitClassInfo* cls = ClassAt(units, i, &item);
    if (cls == nullptr || !(cls->flags & kClassPretranslate)) continue;
    auto pretranslate = UnitOperationOf<UnitPreTranslateFn>(cls, kUnitOpPretranslate);
    if (pretranslate && pretranslate(units.Object(i), msg)) return TRUE;
  }

  // Dragging by the client area: the press becomes a press on the caption.
  int32_t targetIndex = target == hwnd_ ? 0 : IndexOfWindow(*this, units, target);
  if (msg->message == WM_LBUTTONDOWN && props_.dragByClient) {
    UnitItem item;
    const UnitClassInfo* cls = targetIndex > 0 ? ClassAt(units, targetIndex, &item) : nullptr;
    if (targetIndex == 0 || (cls && (cls->flags & kClassDragMovesWindow))) {
      ReleaseCapture();
      SendMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return TRUE;
    }
  }

  if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && OnNavigationKey(*this, units, msg, targetIndex))
    return TRUE;

  // Common events: the unit the message's window belongs to, or the window item itself.
  if (!::IsWindow(self)) return FALSE;
  int32_t unit = 0;
  if (target == self) unit = static_cast<int32_t>(units.List().IdAt(0));
  else if (!FindUnitOfWindow(units, self, target, &unit)) return FALSE;
  return RaiseCommonEvent(windowId, unit, msg) ? TRUE : FALSE;
}

}  // namespace forms
