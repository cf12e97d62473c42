// Window lifetime: LoadWindow and its callers, the live-window queries, the end-of-program
// destruction, idle events, menus and the window and unit services of RuntimeNotify.
#include "forms/form_runtime.h"

#include <algorithm>
#include <map>

#include "forms/event_dispatch.h"
#include "forms/form_window.h"
#include "forms/keyboard.h"
#include "forms/unit_class.h"
#include "forms/unit_operations.h"
#include "forms/window_template.h"
#include "framework/scoped_handle.h"
#include "runtime/errors.h"
#include "runtime/form_hooks.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace forms {
namespace {

bool g_loadingModal = false;

// The menu bar of a window from its menu items: one entry per item that is not hidden, with
// command id kMenuCommandBase + index. Null when the window has no menu items.
HMENU BuildMenuBar(UnitList& units) {
  HMENU menu = nullptr;
  for (uint32_t i = 1; i < units.Count(); ++i) {
    if (!units.IsMenuItemAt(i)) continue;
    UnitItem item = units.ItemAt(i);
    if (!item || (item.MenuFlags() & kMenuHidden)) continue;
    if (menu == nullptr) menu = CreateMenu();
    UINT flags = MF_STRING;
    if (item.MenuFlags() & kMenuDisabled) flags |= MF_GRAYED;
    if (item.MenuFlags() & kMenuChecked) flags |= MF_CHECKED;
    AppendMenuW(menu, flags, kMenuCommandBase + i, fw::WideFromGbk(item.MenuCaption()).c_str());
  }
  return menu;
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

// An object whose window has had its final message: the framework detaches the handle before
// the object's final notification (2000), so the object being released is the one in the
// slots without a handle. Objects are deleted only later, at a safe point.
bool IsGoneObject(void* object) { return object != nullptr && UnitWindow(object) == nullptr; }

// A unit's final destruction clears its slots in the instance it belongs to: the slots of the
// unit list, unless they hold a live object while another instance is alive, whose own slots
// then hold the object that goes.
void ReleaseUnitSlots(WindowRecord& record, uint32_t unitId) {
  int32_t index = record.units.IndexOf(unitId);
  UnitItem item = record.units.ItemById(unitId);
  if (!item || item.IsMenuItem()) return;
  if (record.parked.empty() || IsGoneObject(item.Object())) {
    ReplaceUnitCursor(item, nullptr);
    item.SetObject(nullptr);
    return;
  }
  for (WindowRecord::ParkedInstance& instance : record.parked) {
    UnitSlots& slots = instance.slots[static_cast<uint32_t>(index)];
    if (!IsGoneObject(slots.object)) continue;
    if (slots.cursor) DestroyCursor(slots.cursor);
    slots = UnitSlots();
    return;
  }
}

// The window's final destruction: its instance's cursors go. The instance in the slots hands
// them to the instance parked last; the last instance puts back the unit list of load time.
// Another instance only leaves the parked ones. Returns the window object that went.
void* ReleaseWindowSlots(WindowRecord& record) {
  UnitList& units = record.units;
  void* window = units.ItemAt(0).Object();
  if (!record.parked.empty() && !IsGoneObject(window)) {
    auto going = std::find_if(record.parked.begin(), record.parked.end(),
                              [](const WindowRecord::ParkedInstance& p) { return IsGoneObject(p.window); });
    if (going == record.parked.end()) return nullptr;
    window = going->window;
    for (const UnitSlots& slots : going->slots)
      if (slots.cursor) DestroyCursor(slots.cursor);
    record.parked.erase(going);
    return window;
  }
  for (uint32_t i = 0; i < units.Count(); ++i)
    if (UnitItem item = units.ItemAt(i); item && !item.IsMenuItem()) ReplaceUnitCursor(item, nullptr);
  if (!record.parked.empty()) {
    record.UnparkLastInstance();
  } else if (record.snapshot) {
    record.RestoreSnapshot();
  } else {
    units.ItemAt(0).SetObject(nullptr);
  }
  return window;
}

// RuntimeNotify 2000: a unit's or the window's (unit id 0 or the window item's id) final
// destruction releases its slots; a modal loop waiting for the window ends when its modal
// instance or the last instance goes. Ignored while a unit is being re-created.
void ReleaseUnitData(int32_t windowId, int32_t unitId) {
  rt::RuntimeApp& app = rt::TheApp();
  if (RecreatingUnit() || app.recreatingUnit) return;
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr || record->units.Count() == 0) return;
  if (unitId != 0 && static_cast<uint32_t>(unitId) != record->units.IdAt(0)) {
    ReleaseUnitSlots(*record, static_cast<uint32_t>(unitId));
    return;
  }
  FormWindow* going = UnitOf<FormWindow>(ReleaseWindowSlots(*record));
  bool lastInstance = record->parked.empty() && !IsUnitLive(record->units.ItemAt(0));
  if (app.modalWindowId == windowId && (lastInstance || (going && going->Modal()))) app.modalWindowId = 0;
}

// LoadWindow and the parts it is made of, in the order it runs them.

// Bit 0 of the window item's flags asks the load service (2005) for a modal load.
constexpr uint32_t kServiceLoadsModally = 0x1;
// Set on the window item by the menu-marking service (2037).
constexpr uint32_t kWindowItemMarkedMenu = 0x8;

// One load in progress: what its steps build and hand on to each other.
struct WindowLoad {
  WindowRecord* record;
  int32_t windowId;
  // Non-zero: a further instance of the window; its window item counts as visible and enabled.
  int32_t instanceFlag;
  bool modal;
  HWND owner;
  // Another instance of the window is alive: the new one is built into emptied slots.
  bool further;
  fw::ScopedMenu menu;                                 // until the window takes it
  std::vector<std::pair<uint32_t, void*>> created;     // (item index, object), creation order
  FormWindow* form = nullptr;
  HWND formHandle = nullptr;

  // The objects by item index, highest first: the window item (index 0) comes last.
  std::vector<std::pair<uint32_t, void*>> HighestIndexFirst() const {
    std::vector<std::pair<uint32_t, void*>> objects(created);
    std::sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    return objects;
  }
};

// Destroys what a failed load created: units first, then the window (which takes its menu
// with it), and forgets the objects and the snapshot. A failed further instance leaves the
// snapshot to the first one and gives the slots back to the instance it parked.
void AbandonLoad(WindowLoad& load) {
  WindowRecord* record = load.record;
  if (!load.further) record->DiscardSnapshot();
  for (auto it = load.created.rbegin(); it != load.created.rend(); ++it)
    if (HWND h = UnitWindow(it->second); h && it->first != 0) DestroyWindow(h);
  for (auto& [index, object] : load.created)
    if (HWND h = UnitWindow(object); h && index == 0) DestroyWindow(h);
  for (uint32_t i = 0; i < record->units.Count(); ++i)
    if (UnitItem item = record->units.ItemAt(i); item && !item.IsMenuItem()) item.SetObject(nullptr);
  if (load.further) record->UnparkLastInstance();
}

// Suspending events around the build: no event reaches the program while the units are built,
// and the unit list as it is now comes back when the window's last instance is destroyed. A
// further instance parks the slots of the one loaded before it instead. A load that ends before
// Resume() is abandoned: what it created goes, and events are resumed all the same.
class SuspendedLoad {
 public:
  explicit SuspendedLoad(WindowLoad& load) : load_(load) {
    rt::RuntimeNotify(kSvcBlockEvents, 0, 0);
    if (load.further) load.record->ParkInstance();
    else load.record->TakeSnapshot();
  }
  ~SuspendedLoad() {
    if (resumed_) return;
    AbandonLoad(load_);
    rt::RuntimeNotify(kSvcUnblockEvents, 0, 0);
  }
  SuspendedLoad(const SuspendedLoad&) = delete;
  SuspendedLoad& operator=(const SuspendedLoad&) = delete;
  void Resume() {
    resumed_ = true;
    rt::RuntimeNotify(kSvcUnblockEvents, 0, 0);
  }

 private:
  WindowLoad& load_;
  bool resumed_ = false;
};

// Activating instead of loading: a loaded window asked for with instance flag 0 is only
// activated (restored when minimised). The loaded window, or null when there is none.
FormWindow* LoadedWindow(WindowRecord* record) {
  FormWindow* existing = FormWindow::Of(record);
  return existing && existing->IsWindow() ? existing : nullptr;
}
void ActivateLoadedWindow(FormWindow* existing) {
  if (IsIconic(existing->Handle())) ShowWindow(existing->Handle(), SW_RESTORE);
  else SetActiveWindow(existing->Handle());
}

// The style bits a unit's class is given: WS_DISABLED and WS_TABSTOP from the unit flags
// (the window item of a further instance is never disabled). Windowless classes get neither
// and are recorded invisible.
uint32_t CreationStyle(UnitItem item, const UnitClassInfo* cls, bool windowItem, int32_t instanceFlag) {
  uint32_t flags = item.Flags();
  if (cls->flags & kClassWindowless) {
    item.SetFlags(flags & ~kUnitVisible);
    return 0;
  }
  uint32_t style = 0;
  if ((flags & kUnitDisabled) && !(windowItem && instanceFlag != 0)) style |= WS_DISABLED;
  if (flags & kUnitTabStop) style |= WS_TABSTOP;
  return style;
}

// One object through its class's create operation. The window gets the owner and the menu;
// units get the window as parent and control ids from 100 in steps of 10.
void* CreateObject(WindowLoad& load, uint32_t index, uint32_t& controlId) {
  UnitItem item = load.record->units.ItemAt(index);
  const UnitClassInfo* cls = item ? FindUnitClass(item.TypeId()) : nullptr;
  auto create = UnitOperationOf<UnitCreateFn>(cls, kUnitOpCreate);
  if (create == nullptr || (index == 0 && item.TypeId() != kWindowTypeId)) return nullptr;
  uint32_t style = CreationStyle(item, cls, index == 0, load.instanceFlag);
  const void* block = item.PropertyBlock();
  auto length = static_cast<int32_t>(item.PropertyBlockLength());
  auto unitId = static_cast<int32_t>(item.Id());
  if (index == 0) {
    g_loadingModal = load.modal;
    void* object = create(block, length, style, load.owner, 0, load.menu.Get(), item.Left(), item.Top(),
                          item.Width(), item.Height(), load.windowId, unitId, 0, 0);
    g_loadingModal = false;
    return object;
  }
  void* object = create(block, length, style, load.formHandle, controlId, nullptr, item.Left(), item.Top(),
                        item.Width(), item.Height(), load.windowId, unitId, 0, 0);
  controlId += 10;
  return object;
}

// Creating the objects: the window item first, then the units from the highest index down; menu
// items are skipped. False as soon as one cannot be made.
bool CreateObjects(WindowLoad& load) {
  UnitList& units = load.record->units;
  std::vector<uint32_t> order{0};
  for (uint32_t i = units.Count() - 1; i >= 1; --i)
    if (!units.IsMenuItemAt(i)) order.push_back(i);
  uint32_t controlId = 100;
  for (uint32_t index : order) {
    void* object = CreateObject(load, index, controlId);
    if (object == nullptr || UnitWindow(object) == nullptr) return false;
    load.created.emplace_back(index, object);
    if (index != 0) continue;
    load.menu.Release();   // the window has it now
    load.form = UnitOf<FormWindow>(object);
    load.formHandle = load.form->Handle();
    load.form->SetLoadState(load.instanceFlag, load.modal);
  }
  return true;
}

// Placing the units: each object goes into its item's slot; units are parented to the unit named by
// their parent id (else they stay on the window); siblings stack in index order, the lowest index
// on top; the cursors are built from the MousePointerBlocks.
void PlaceUnits(WindowLoad& load) {
  UnitList& units = load.record->units;
  for (auto& [index, object] : load.created) units.ItemAt(index).SetObject(object);
  for (auto& [index, object] : load.created) {
    UnitItem item = units.ItemAt(index);
    if (index == 0 || item.ParentId() == 0) continue;
    UnitItem parent = units.ItemById(item.ParentId());
    if (HWND parentHandle = parent ? UnitWindow(parent.Object()) : nullptr) SetParent(UnitWindow(object), parentHandle);
  }
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
  for (auto& [index, object] : load.created) {
    UnitItem item = units.ItemAt(index);
    item.SetCursor(MakeUnitCursor(item.MousePointer(), item.MousePointerLength()));
  }
}

// Announcing to the units: a private message to every item's object, highest index first (the
// window last), skipping objects whose window is gone.
void AnnounceUnits(const WindowLoad& load, UINT message) {
  for (auto& [index, object] : load.HighestIndexFirst())
    if (HWND h = UnitWindow(object); h && IsWindow(h)) SendMessageA(h, message, 0, 0);
}

// Showing the units: they show by their visible flags, without activation.
void ShowUnits(const WindowLoad& load) {
  for (auto& [index, object] : load.created) {
    if (index == 0) continue;
    ShowWindow(UnitWindow(object), load.record->units.ItemAt(index).Visible() ? SW_SHOWNOACTIVATE : SW_HIDE);
  }
}

// The load events: created, moved, sized. A handler may destroy the window: false once it is gone.
bool RaiseLoadEvents(const WindowLoad& load) {
  auto windowItemId = static_cast<int32_t>(load.record->units.IdAt(0));
  for (int32_t event : {0, 3, 4}) {
    RaiseEvent(load.windowId, windowItemId, event);
    if (!IsWindow(load.formHandle)) return false;
  }
  return true;
}

// Showing the window: a visible window (or a further instance) shows by its start position,
// maximised or minimised only in a run mode other than 0; then the program hears which unit has the
// focus, unless showing already told it. False once the window is gone.
bool ShowLoadedForm(const WindowLoad& load) {
  UnitItem windowItem = load.record->units.ItemAt(0);
  if (load.instanceFlag == 0 && !(windowItem && windowItem.Visible())) return true;
  const WindowProperties& p = load.form->Properties();
  bool runMode = rt::TheApp().runMode != 0;
  uint32_t focusEvents = FocusEventCount();
  if (runMode && p.startPosition == kStartMaximised && SizableBorder(p.border)) {
    ShowWindow(load.formHandle, SW_SHOWMAXIMIZED);
  } else if (runMode && p.startPosition == kStartMaximised) {
    SetWindowPos(load.formHandle, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER);
    ShowWindow(load.formHandle, SW_SHOW);
  } else if (runMode && p.startPosition == kStartMinimised) {
    ShowWindow(load.formHandle, SW_SHOWMINIMIZED);
  } else {
    ShowWindow(load.formHandle, SW_SHOW);
  }
  if (!IsWindow(load.formHandle)) return false;
  if (FocusEventCount() == focusEvents) load.form->RaiseFocusedEvent();
  return IsWindow(load.formHandle) != FALSE;
}

// The shown announcement with its focus rule: the units hear they are shown, and the focus stays
// where it was.
void AnnounceShown(const WindowLoad& load) {
  HWND focus = GetFocus();
  AnnounceUnits(load, kMsgUnitsShown);
  if (GetFocus() != focus && focus && IsWindow(focus)) SetFocus(focus);
}

}  // namespace

bool LoadingModally() { return g_loadingModal; }

// LoadWindow in its steps: activate a window already loaded (or, with the instance flag set,
// build a further instance of it, with objects of its own); check the owner; then, with
// events suspended, build the menu, create the objects, place them and announce them, show
// the units; then raise the load events, show the window, disable the others for a modal one
// and tell the units they are shown. Once the window is gone a later step does not run.
int32_t LoadWindow(int32_t windowId, int32_t instanceFlag, bool modal, HWND owner) {
  FlushDeletedUnits();
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr || record->units.Count() == 0) return 0;
  FormWindow* loaded = LoadedWindow(record);
  if (loaded && instanceFlag == 0) {
    ActivateLoadedWindow(loaded);
    return 1;
  }
  // A modal window has no owner; a dead owner handle fails the load.
  if (modal) owner = nullptr;
  else if (owner != nullptr && !IsWindow(owner)) return 0;

  WindowLoad load{record, windowId, instanceFlag, modal, owner, loaded != nullptr};
  {
    SuspendedLoad suspended(load);
    load.menu.Reset(BuildMenuBar(record->units));
    if (!CreateObjects(load)) return 0;
    PlaceUnits(load);
    AnnounceUnits(load, kMsgUnitsCreated);
    SendMessageA(load.formHandle, kMsgLayout, 0, 0);
    ShowUnits(load);
    suspended.Resume();
  }
  if (!RaiseLoadEvents(load) || !ShowLoadedForm(load)) return 1;
  if (modal) load.form->DisableOtherWindows();
  AnnounceShown(load);
  if (IsWindow(load.formHandle)) load.form->MarkLoaded(true);
  return 1;
}

int32_t LoadWindowService(int32_t windowId, HWND parent, int32_t instanceFlag) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  if (record == nullptr || record->units.Count() == 0) return 0;
  UnitItem windowItem = record->units.ItemAt(0);
  bool modal = windowItem && (windowItem.Flags() & kServiceLoadsModally) != 0;
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

// True while some window object has a live system window: the instance in a record's slots,
// or an older instance parked beside it. While a further instance is being built the older
// ones are parked and the slots may hold nothing alive; a failed build destroys what it made
// before it gives the slots back, and that must not end the loop under the older windows.
bool AnyWindowAlive() {
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t i = 0; i < directory.Count(); ++i) {
    WindowRecord* record = directory.At(i);
    FormWindow* form = FormWindow::Of(record);
    if (form && form->IsWindow()) return true;
    for (const WindowRecord::ParkedInstance& instance : record->parked)
      if (HWND h = UnitWindow(instance.window); h && IsWindow(h)) return true;
  }
  return false;
}

// End-of-program step: every live window goes, every instance of it; its units go with it.
// Each instance destroyed hands the slots to the next, so the count bounds the walk.
void DestroyAllWindows() {
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t i = 0; i < directory.Count(); ++i) {
    WindowRecord* record = directory.At(i);
    for (size_t n = record->parked.size() + 1; n > 0; --n) {
      FormWindow* form = LoadedWindow(record);
      if (form == nullptr) break;
      DestroyWindow(form->Handle());
    }
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

// Rebuilds the menu bar of a live window from its items.
void RebuildMenu(int32_t windowId) {
  WindowRecord* record = TheWindowDirectory().Find(windowId);
  FormWindow* form = FormWindow::Of(record);
  if (form == nullptr || !form->IsWindow()) return;
  fw::ScopedMenu old(GetMenu(form->Handle()));   // the window owned it; it goes once replaced
  SetMenu(form->Handle(), BuildMenuBar(record->units));
  DrawMenuBar(form->Handle());
}

namespace {

// The window and unit requests of RuntimeNotify, one handler each, as the service table calls
// them: the request's two arguments in, its result out.

template <typename T>
int32_t Word(T* pointer) {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// 1001: the address of the WindowDirectory.
int32_t WindowDirectoryRequest(uint32_t, uint32_t) { return Word(&TheWindowDirectory()); }

// 1014: 1 when the handle is the system window of a loaded unit (not a window's own), in
// any live instance of any window.
int32_t IsUnitWindowRequest(uint32_t hwnd, uint32_t) {
  HWND h = reinterpret_cast<HWND>(hwnd);
  if (h == nullptr) return 0;
  WindowDirectory& directory = TheWindowDirectory();
  for (uint32_t w = 0; w < directory.Count(); ++w) {
    for (const InstanceUnits& instance : InstanceUnits::AllOf(*directory.At(w)))
      for (uint32_t i = 1; i < instance.Count(); ++i)
        if (UnitWindow(instance.Object(i)) == h) return 1;
  }
  return 0;
}

int32_t ReleaseUnitDataRequest(uint32_t windowId, uint32_t unitId) {
  ReleaseUnitData(static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));
  return 0;
}

// 2005: the words are (window id, parent window object or 0, instance flag).
int32_t LoadWindowRequest(uint32_t wordsAddress, uint32_t) {
  const uint32_t* words = reinterpret_cast<const uint32_t*>(wordsAddress);
  if (words == nullptr) return 0;
  auto* parent = reinterpret_cast<fw::WindowObject*>(words[1]);
  return LoadWindowService(static_cast<int32_t>(words[0]), parent ? parent->Handle() : nullptr,
                           static_cast<int32_t>(words[2]));
}

int32_t UnitObjectRequest(uint32_t windowId, uint32_t unitId) {
  return Word(LiveUnitObject(static_cast<int32_t>(windowId), static_cast<int32_t>(unitId)));
}

// 2007: as 2006, but a unit that is not there is the program's fault.
int32_t UnitObjectCheckedRequest(uint32_t windowId, uint32_t unitId) {
  void* object = LiveUnitObject(static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));
  if (object == nullptr) rt::RuntimeError("指定窗口或窗口组件不存在或尚未载入", 0);
  return Word(object);
}

int32_t DestroyFormObjectsRequest(uint32_t, uint32_t) {
  FlushDeletedUnits();
  return 0;
}

// 2022: the unit's type id (unit id 0: the window's), 0 when there is no such unit.
int32_t UnitTypeIdRequest(uint32_t windowId, uint32_t unitId) {
  WindowRecord* record = TheWindowDirectory().Find(static_cast<int32_t>(windowId));
  if (record == nullptr) return 0;
  UnitItem item = unitId == 0 ? record->units.ItemAt(0) : record->units.ItemById(unitId);
  return item ? static_cast<int32_t>(item.TypeId()) : 0;
}

int32_t WindowCountRequest(uint32_t, uint32_t) { return static_cast<int32_t>(TheWindowDirectory().Count()); }

// 2033: the system window of the window record at this position while it lives, else 0.
int32_t WindowHandleAtRequest(uint32_t position, uint32_t) {
  FormWindow* form = FormWindow::Of(TheWindowDirectory().At(position));
  return form && form->IsWindow() ? Word(form->Handle()) : 0;
}

int32_t MarkMenuRequest(uint32_t windowId, uint32_t) {
  WindowRecord* record = TheWindowDirectory().Find(static_cast<int32_t>(windowId));
  if (record == nullptr) return 0;
  if (UnitItem item = record->units.ItemAt(0)) item.SetFlags(item.Flags() | kWindowItemMarkedMenu);
  RebuildMenu(static_cast<int32_t>(windowId));
  return 0;
}

int32_t RebuildMenuRequest(uint32_t windowId, uint32_t) {
  RebuildMenu(static_cast<int32_t>(windowId));
  return 0;
}

// What the runtime calls on the form runtime.
constexpr rt::FormHooks kFormHooks = {
    .loadWindowTemplate = LoadWindowTemplate,
    .destroyAllWindows = DestroyAllWindows,
    .loadStartWindow = LoadStartWindow,
    .anyWindowAlive = AnyWindowAlive,
    .readUnitProperty = ReadUnitProperty,
    .writeUnitProperty = WriteUnitProperty,
    .findHandler = FindHandler,
    .raiseIdleEvents = RaiseIdleEvents,
    .windowDirectory = WindowDirectoryRequest,
    .isUnitWindow = IsUnitWindowRequest,
    .releaseUnitData = ReleaseUnitDataRequest,
    .loadWindow = LoadWindowRequest,
    .unitObject = UnitObjectRequest,
    .unitObjectChecked = UnitObjectCheckedRequest,
    .destroyFormObjects = DestroyFormObjectsRequest,
    .unitTypeId = UnitTypeIdRequest,
    .windowCount = WindowCountRequest,
    .windowHandleAt = WindowHandleAtRequest,
    .markMenu = MarkMenuRequest,
    .rebuildMenu = RebuildMenuRequest,
};
static_assert(rt::Complete(kFormHooks));

}  // namespace

void StartFormRuntime() { rt::RegisterFormHooks(kFormHooks); }

}  // namespace forms
