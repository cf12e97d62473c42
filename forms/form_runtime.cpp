// Window lifetime: LoadWindow and its callers, the live-window queries, the end-of-program
// destruction, idle events, menus and the window and unit services of RuntimeNotify.
#include "forms/form_runtime.h"

#include <algorithm>
#include <map>

#include "forms/event_dispatch.h"
#include "forms/form_window.h"
#include "forms/keyboard.h"
#include "forms/unit_class.h"
#include "forms/window_template.h"
#include "runtime/errors.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace forms {
namespace {

bool loadingModal = false;

// The menu bar of a window from its menu items: one entry per item that is not hidden, with
// command id kMenuCommandBase + index. Null when the window has no menu items.
HMENU BuildMenuBar(UnitList& units) {
  HMENU menu = nullptr;
  for (uint32_t i = 1; i < units.Count(); ++i) {
    if (!units.IsMenuItemAt(i)) continue;
    UnitItem item = units.ItemAt(i);
    if (!item || (item.MenuFlags() & MENU_HIDDEN)) continue;
    if (menu == nullptr) menu = CreateMenu();
    UINT flags = MF_STRING;
    if (item.MenuFlags() & MENU_DISABLED) flags |= MF_GRAYED;
    if (item.MenuFlags() & MENU_CHECKED) flags |= MF_CHECKED;
    AppendMenuA(menu, flags, kMenuCommandBase + i, item.MenuCaption());
  }
  return menu;
}

// Rebuilds the menu bar of a live window from its items.
void RebuildMenu(int32_t windowId) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  FormWindow* form = FormWindow::Of(record);
  if (form == nullptr || !form->IsWindow()) return;
  HMENU old = GetMenu(form->Handle());
  SetMenu(form->Handle(), BuildMenuBar(record->units));
  if (old) DestroyMenu(old);
  DrawMenuBar(form->Handle());
}

// The object of unit (window, unit id; 0 = the window) while its system window lives.
void* LiveUnitObject(int32_t windowId, int32_t unitId) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr) return nullptr;
  UnitItem item = unitId == 0 ? record->units.ItemAt(0) : record->units.ItemById(static_cast<uint32_t>(unitId));
  if (!item || item.IsMenuItem()) return nullptr;
  HWND h = UnitWindow(item.Object());
  return h && IsWindow(h) ? item.Object() : nullptr;
}

// RuntimeNotify 2000: a unit's final destruction clears its cursor and object slot; the
// window's own (unit id 0 or the window item's id) puts back the unit list of load time and
// ends a modal loop waiting for the window. Ignored while a unit is being re-created.
void ReleaseUnitData(int32_t windowId, int32_t unitId) {
  rt::RuntimeApp& app = rt::TheApp();
  if (RecreatingUnit() || app.recreatingUnit) return;
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr) return;
  if (unitId != 0 && static_cast<uint32_t>(unitId) != record->units.IdAt(0)) {
    UnitItem item = record->units.ItemById(static_cast<uint32_t>(unitId));
    if (!item || item.IsMenuItem()) return;
    if (item.Cursor()) DestroyCursor(item.Cursor());
    item.SetCursor(nullptr);
    item.SetObject(nullptr);
    return;
  }
  if (record->snapshot) {
    record->RestoreSnapshot();
  } else if (UnitItem item = record->units.ItemAt(0)) {
    item.SetObject(nullptr);
  }
  if (app.modalWindowId == windowId) app.modalWindowId = 0;
}

// Destroys what a failed load created: units first, then the window (which takes its menu).
void AbandonLoad(WindowRecord* record, std::vector<std::pair<uint32_t, void*>>& created, HMENU menu) {
  record->DiscardSnapshot();
  bool windowMade = false;
  for (auto it = created.rbegin(); it != created.rend(); ++it) {
    if (it->first == 0) {
      windowMade = true;
      continue;
    }
    if (HWND h = UnitWindow(it->second)) DestroyWindow(h);
  }
  for (auto& [index, object] : created)
    if (index == 0)
      if (HWND h = UnitWindow(object)) DestroyWindow(h);
  if (menu && !windowMade) DestroyMenu(menu);
  for (uint32_t i = 0; i < record->units.Count(); ++i)
    if (UnitItem item = record->units.ItemAt(i); item && !item.IsMenuItem()) item.SetObject(nullptr);
}

}  // namespace

bool LoadingModally() { return loadingModal; }

// LoadWindow in its steps: activate an existing window; check the owner; suspend events and
// snapshot the unit list; build the menu; create the window, then the units from the highest
// index down; store, parent and stack them; build cursors; tell the units they exist and lay
// out docked bars; show the units; resume events; raise created, moved and sized; show the
// window; disable the others for a modal window; tell the units they are shown.
int32_t LoadWindow(int32_t windowId, int32_t instanceFlag, bool modal, HWND owner) {
  FlushDeletedUnits();
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr || record->units.Count() == 0) return 0;
  // A loaded window is only activated (restored when minimised).
  if (FormWindow* existing = FormWindow::Of(record); existing && existing->IsWindow() && instanceFlag == 0) {
    if (IsIconic(existing->Handle())) ShowWindow(existing->Handle(), SW_RESTORE);
    else SetActiveWindow(existing->Handle());
    return 1;
  }
  // A modal window has no owner; a dead owner handle fails the load.
  if (modal) owner = nullptr;
  else if (owner != nullptr && !IsWindow(owner)) return 0;

  // No event reaches the program while the units are built; the unit list as it is now comes
  // back when the window is destroyed.
  rt::RuntimeNotify(SVC_BLOCK_EVENTS, 0, 0);
  record->TakeSnapshot();
  UnitList& units = record->units;
  HMENU menu = BuildMenuBar(units);

  // Creation order: the window item, then the units from the highest index down to 1.
  std::vector<uint32_t> order{0};
  for (uint32_t i = units.Count() - 1; i >= 1; --i)
    if (!units.IsMenuItemAt(i)) order.push_back(i);
  std::vector<std::pair<uint32_t, void*>> created;
  HWND formHandle = nullptr;
  uint32_t controlId = 100;
  for (uint32_t index : order) {
    UnitItem item = units.ItemAt(index);
    const UnitClassInfo* cls = item ? FindUnitClass(item.TypeId()) : nullptr;
    auto create = UnitOperationOf<UnitCreateFn>(cls, UNIT_OP_CREATE);
    if (create == nullptr || (index == 0 && item.TypeId() != kWindowTypeId)) {
      AbandonLoad(record, created, menu);
      rt::RuntimeNotify(SVC_UNBLOCK_EVENTS, 0, 0);
      return 0;
    }
    // Style bits from the unit flags; windowless classes are recorded invisible and get none.
    uint32_t flags = item.Flags();
    uint32_t style = 0;
    if (cls->flags & CLASS_WINDOWLESS) {
      item.SetFlags(flags & ~UNIT_VISIBLE);
    } else {
      if ((flags & UNIT_DISABLED) && !(index == 0 && instanceFlag != 0)) style |= WS_DISABLED;
      if (flags & UNIT_TAB_STOP) style |= WS_TABSTOP;
    }
    // The window gets the owner and the menu; units get the window as parent and control ids
    // from 100 in steps of 10.
    void* object;
    if (index == 0) {
      loadingModal = modal;
      object = create(item.PropertyBlock(), static_cast<int32_t>(item.PropertyBlockLength()), style, owner, 0,
                      menu, item.Left(), item.Top(), item.Width(), item.Height(), windowId,
                      static_cast<int32_t>(item.Id()), 0, 0);
      loadingModal = false;
    } else {
      object = create(item.PropertyBlock(), static_cast<int32_t>(item.PropertyBlockLength()), style,
                      formHandle, controlId, nullptr, item.Left(), item.Top(), item.Width(), item.Height(),
                      windowId, static_cast<int32_t>(item.Id()), 0, 0);
      controlId += 10;
    }
    if (object == nullptr || UnitWindow(object) == nullptr) {
      AbandonLoad(record, created, menu);
      rt::RuntimeNotify(SVC_UNBLOCK_EVENTS, 0, 0);
      return 0;
    }
    created.emplace_back(index, object);
    if (index == 0) {
      formHandle = UnitWindow(object);
      static_cast<FormWindow*>(static_cast<fw::WindowObject*>(object))->SetLoadState(instanceFlag, modal);
    }
  }
  FormWindow* form = static_cast<FormWindow*>(static_cast<fw::WindowObject*>(created.front().second));

  // Each object goes into its item's runtime slot.
  for (auto& [index, object] : created) units.ItemAt(index).SetObject(object);

  // Parents: the unit named by the parent id, or the window's client area.
  for (auto& [index, object] : created) {
    if (index == 0) continue;
    UnitItem item = units.ItemAt(index);
    if (item.ParentId() == 0) continue;
    UnitItem parent = units.ItemById(item.ParentId());
    HWND parentHandle = parent ? UnitWindow(parent.Object()) : nullptr;
    if (parentHandle) SetParent(UnitWindow(object), parentHandle);
  }
  // Z-order: siblings stack in index order, the lowest index on top.
  std::map<HWND, HWND> lastOfParent;
  for (uint32_t i = 1; i < units.Count(); ++i) {
    UnitItem item = units.ItemAt(i);
    HWND h = item && !item.IsMenuItem() ? UnitWindow(item.Object()) : nullptr;
    if (h == nullptr) continue;
    HWND parent = GetParent(h);
    auto it = lastOfParent.find(parent);
    SetWindowPos(h, it == lastOfParent.end() ? HWND_TOP : it->second, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    lastOfParent[parent] = h;
  }
  // Cursors from the MousePointerBlocks; then the units hear they exist (highest index first)
  // and the window lays out its docked bars; then the units show by their visible flags.
  for (auto& [index, object] : created) {
    UnitItem item = units.ItemAt(index);
    item.SetCursor(MakeUnitCursor(item.MousePointer(), item.MousePointerLength()));
  }
  // The private messages go to every item's object, highest index first: the window item
  // (index 0) hears last.
  std::vector<std::pair<uint32_t, void*>> byIndex(created);
  std::sort(byIndex.begin(), byIndex.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (auto& [index, object] : byIndex) SendMessageA(UnitWindow(object), kMsgUnitsCreated, 0, 0);
  SendMessageA(formHandle, kMsgLayout, 0, 0);
  for (auto& [index, object] : created) {
    if (index == 0) continue;
    ShowWindow(UnitWindow(object), units.ItemAt(index).Visible() ? SW_SHOWNOACTIVATE : SW_HIDE);
  }
  rt::RuntimeNotify(SVC_UNBLOCK_EVENTS, 0, 0);

  // Created, moved, sized: a handler may destroy the window, which ends the load quietly.
  int32_t windowItemId = static_cast<int32_t>(units.IdAt(0));
  RaiseEvent(windowId, windowItemId, 0);
  if (!IsWindow(formHandle)) return 1;
  RaiseEvent(windowId, windowItemId, 3);
  if (!IsWindow(formHandle)) return 1;
  RaiseEvent(windowId, windowItemId, 4);
  if (!IsWindow(formHandle)) return 1;

  // Show the window by its start position (maximised or minimised only in a run mode other
  // than 0), then tell the program which unit has the focus.
  UnitItem windowItem = units.ItemAt(0);
  if (instanceFlag != 0 || (windowItem && windowItem.Visible())) {
    int32_t startPosition = form->Properties().startPosition;
    int32_t border = form->Properties().border;
    uint32_t focusEvents = FocusEventCount();
    if (rt::TheApp().runMode != 0 && startPosition == 3) {
      if (border == 1 || border == 3 || border == 5) {
        ShowWindow(formHandle, SW_SHOWMAXIMIZED);
      } else {
        SetWindowPos(formHandle, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                     SWP_NOZORDER);
        ShowWindow(formHandle, SW_SHOW);
      }
    } else if (rt::TheApp().runMode != 0 && startPosition == 2) {
      ShowWindow(formHandle, SW_SHOWMINIMIZED);
    } else {
      ShowWindow(formHandle, SW_SHOW);
    }
    if (!IsWindow(formHandle)) return 1;
    // The focus event of whoever has the focus now, unless showing already raised one.
    if (FocusEventCount() == focusEvents) form->RaiseFocusedEvent();
    if (!IsWindow(formHandle)) return 1;
  }
  if (modal) form->DisableOtherWindows();

  // The units hear they are shown; the focus stays where it was.
  HWND focus = GetFocus();
  for (auto& [index, object] : byIndex)
    if (HWND h = UnitWindow(object); h && IsWindow(h)) SendMessageA(h, kMsgUnitsShown, 0, 0);
  if (GetFocus() != focus && focus && IsWindow(focus)) SetFocus(focus);
  if (IsWindow(formHandle)) form->MarkLoaded(true);
  return 1;
}

int32_t LoadWindowService(int32_t windowId, HWND parent, int32_t instanceFlag) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr || record->units.Count() == 0) return 0;
  UnitItem windowItem = record->units.ItemAt(0);
  bool modal = windowItem && (windowItem.Flags() & 1) != 0;
  if (!LoadWindow(windowId, instanceFlag, modal, parent)) return 0;
  FormWindow* form = FormWindow::Of(record);
  if (!modal || form == nullptr || !form->IsWindow()) return 1;
  // The nested loop (mode 1) ends when the window's destruction clears the modal word.
  rt::RuntimeApp& app = rt::TheApp();
  int32_t outer = app.modalWindowId;
  app.modalWindowId = windowId;
  app.RunLoop(1);
  app.modalWindowId = outer;
  return 1;
}

// Runtime interface slot 12 behind the runtime's own error report: a non-modal load with no
// owner and instance flag 0. The first start window becomes the application's main window,
// where the message pre-translation walk stops.
bool LoadStartWindow(int32_t windowId) {
  if (LoadWindow(windowId, 0, false, nullptr) != 1) return false;
  rt::RuntimeApp& app = rt::TheApp();
  FormWindow* form = FormWindow::Of(TheWindowDirectory().Find(windowId));
  if (form && form->IsWindow() && !(app.mainWindow && IsWindow(app.mainWindow))) app.mainWindow = form->Handle();
  return true;
}

// True while some window record's window object has a live system window.
bool AnyWindowAlive() {
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t i = 0; i < directory.Count(); ++i) {
    FormWindow* form = FormWindow::Of(directory.At(i));
    if (form && form->IsWindow()) return true;
  }
  return false;
}

// End-of-program step: every live window goes; its units go with it.
void DestroyAllWindows() {
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t i = 0; i < directory.Count(); ++i) {
    FormWindow* form = FormWindow::Of(directory.At(i));
    if (form && form->IsWindow()) DestroyWindow(form->Handle());
  }
  FlushDeletedUnits();
}

// Idle event 7 with the elapsed milliseconds; a window whose handler does not return true
// declines further idle events of this idle period.
int32_t RaiseIdleEvents(uint32_t elapsedMs, std::vector<HWND>& declined) {
  FlushDeletedUnits();
  int32_t result = 0;
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t i = 0; i < directory.Count(); ++i) {
    WindowRecord* record = directory.At(i);
    FormWindow* form = FormWindow::Of(record);
    if (form == nullptr || !form->IsWindow()) continue;
    HWND h = form->Handle();
    if (std::find(declined.begin(), declined.end(), h) != declined.end()) continue;
    EventOutcome outcome = RaiseEvent(directory.IdAt(i), static_cast<int32_t>(record->units.IdAt(0)), 7, {elapsedMs});
    if (outcome.ran && outcome.hasValue && outcome.value != 0) result = 1;
    else declined.push_back(h);
  }
  return result;
}

// The window and unit requests of RuntimeNotify that the runtime passes on.
int32_t FormService(int32_t code, uint32_t a1, uint32_t a2) {
  WindowDirectory& directory = TheWindowDirectory();
  switch (code) {
    case SVC_WINDOW_DIRECTORY: return static_cast<int32_t>(reinterpret_cast<uintptr_t>(&directory));
    case SVC_UNIT_CLASS_INFO: return static_cast<int32_t>(reinterpret_cast<uintptr_t>(FindUnitClass(a1)));
    case SVC_IS_UNIT_WINDOW: {
      HWND h = reinterpret_cast<HWND>(a1);
      if (h == nullptr) return 0;
      for (uint32_t w = 0; w < directory.Count(); ++w) {
        UnitList& units = directory.At(w)->units;
        for (uint32_t i = 1; i < units.Count(); ++i) {
          UnitItem item = units.ItemAt(i);
          if (item && !item.IsMenuItem() && UnitWindow(item.Object()) == h) return 1;
        }
      }
      return 0;
    }
    case SVC_RELEASE_UNIT_DATA: ReleaseUnitData(static_cast<int32_t>(a1), static_cast<int32_t>(a2)); return 0;
    case SVC_LOAD_WINDOW: {
      const uint32_t* words = reinterpret_cast<const uint32_t*>(a1);
      if (words == nullptr) return 0;
      auto* parent = reinterpret_cast<fw::WindowObject*>(words[1]);
      return LoadWindowService(static_cast<int32_t>(words[0]), parent ? parent->Handle() : nullptr,
                               static_cast<int32_t>(words[2]));
    }
    case SVC_UNIT_OBJECT:
      return static_cast<int32_t>(reinterpret_cast<uintptr_t>(LiveUnitObject(static_cast<int32_t>(a1), static_cast<int32_t>(a2))));
    case SVC_UNIT_OBJECT_CHECKED: {
      void* object = LiveUnitObject(static_cast<int32_t>(a1), static_cast<int32_t>(a2));
      if (object == nullptr) rt::RuntimeError("指定窗口或窗口组件不存在或尚未载入", 0);
      return static_cast<int32_t>(reinterpret_cast<uintptr_t>(object));
    }
    case SVC_DESTROY_FORM_OBJECTS: FlushDeletedUnits(); return 0;
    case SVC_UNIT_FIRST_WORD: {
      WindowRecord* record = directory.Find(static_cast<int32_t>(a1));
      if (record == nullptr) return 0;
      UnitItem item = a2 == 0 ? record->units.ItemAt(0) : record->units.ItemById(a2);
      return item ? static_cast<int32_t>(item.TypeId()) : 0;
    }
    case SVC_TYPE_KIND: {
      const UnitClassInfo* cls = FindUnitClass(a1);
      if (cls == nullptr) return 0;
      return cls->flags & 0x4 ? 2 : cls->flags & 0x40 ? 1 : 0;
    }
    case SVC_WINDOW_COUNT: return static_cast<int32_t>(directory.Count());
    case SVC_WINDOW_HANDLE_AT: {
      FormWindow* form = FormWindow::Of(directory.At(a1));
      return form && form->IsWindow() ? static_cast<int32_t>(reinterpret_cast<uintptr_t>(form->Handle())) : 0;
    }
    case SVC_MARK_MENU: {
      WindowRecord* record = directory.Find(static_cast<int32_t>(a1));
      if (record == nullptr) return 0;
      if (UnitItem item = record->units.ItemAt(0)) item.SetFlags(item.Flags() | 0x8);
      RebuildMenu(static_cast<int32_t>(a1));
      return 0;
    }
    case SVC_REBUILD_MENU: RebuildMenu(static_cast<int32_t>(a1)); return 0;
    default: return 0;  // 2015, 2038, 2039: no form-runtime requests of that kind here
  }
}

}  // namespace forms
