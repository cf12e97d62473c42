// The form window (窗口, class 1 of the core library): a top-level window built from a
// WindowRecord with all its units, its window events, closing and destruction, and the
// window loading procedure LoadWindow.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/event_dispatch.h"
#include "forms/unit_class.h"
#include "forms/unit_operations.h"
#include "forms/window_template.h"
#include "framework/scoped_handle.h"
#include "runtime/interface/unit_records.h"

namespace forms {

// The class record the core library's data-type table holds for class 1.
extern const UnitClassInfo kWindowClass;

// Class indexes of the window properties (property number - 8).
enum WindowProperty : int32_t {
  kWinCaption = 0, kWinBorder, kWinBackColor, kWinBackPicture, kWinPictureMode,
  kWinBackMusic, kWinMusicPlayMode, kWinControlBox, kWinMaxButton, kWinMinButton,
  kWinStartPosition, kWinMovable, kWinIcon, kWinEnterMovesFocus, kWinEscCloses, kWinF1Help,
  kWinHelpFile, kWinHelpContext, kWinShowInTaskbar, kWinDragByClient, kWinShape,
  kWinAlwaysOnTop, kWinProperty30, kWinClassName,
  kWindowClassProperties
};

// The window's own properties as its PropertyBlock stores them (maximum version 6).
struct WindowProperties : PropertyRecord {
  static constexpr uint32_t kMaxVersion = 6;
  int32_t border = 2;               // 0..6
  int32_t pictureMode = 1;          // 0 top-left, 1 tiled, 2 centred fit, 3 stretched
  uint32_t backColor = 0xFF000000;  // 0xFF000000 = button face
  bool maxButton = false;
  bool minButton = false;
  bool controlBox = true;
  int32_t startPosition = 1;        // 0 as stored, 1 centred, 2 minimised, 3 maximised
  bool movable = true;
  int32_t musicPlayMode = 0;
  bool enterMovesFocus = false;
  bool escCloses = true;
  bool f1Help = false;
  int32_t helpContext = 0;
  bool showInTaskbar = true;        // version >= 2
  bool dragByClient = false;        // version >= 3
  int32_t shape = 0;                // version >= 3, 0..29
  bool alwaysOnTop = false;         // version >= 4
  bool property30 = false;          // version >= 5, stored only
  std::string className;            // version 6
  std::vector<uint8_t> backPicture;
  std::vector<uint8_t> icon;        // icon-file bytes
  std::vector<uint8_t> backMusic;
  std::string caption;
  std::string helpFile;

  void Reset() override { *this = WindowProperties(); }
  bool Serialize(PropertyStream& stream) override;
};

// StartPosition choices.
enum StartPosition : int32_t {
  kStartAsStored = 0,
  kStartCentred = 1,
  kStartMinimised = 2,
  kStartMaximised = 3,
};
// Borders 1, 3 and 5 are sizable (WS_THICKFRAME).
constexpr bool SizableBorder(int32_t border) { return border == 1 || border == 3 || border == 5; }

// Window styles of a form window from its properties (the creation table).
struct FormStyles {
  DWORD style = 0;
  DWORD exStyle = 0;
};
FormStyles FormWindowStyles(const WindowProperties& p, bool hasOwner, bool child);

// The top-left corner for a window of the given outer size: centred on the screen for start
// position 1 (integer halves), else the stored corner.
POINT FormWindowOrigin(const WindowProperties& p, int32_t left, int32_t top, int32_t width,
                       int32_t height);

class FormWindow : public RecordUnit<WindowProperties> {
 public:
  explicit FormWindow(const UnitCreateArgs& args) : RecordUnit(args) {}

  // Unit operations (UnitOperations<FormWindow>): 1 create (the last class word is the child
  // flag), 4 write (always false: the window item is never re-created), 5 save (the
  // record's), 6 read.
  static FormWindow* Create(const UnitCreateArgs& args);
  bool WriteProperty(int32_t index, const UnitValue& value);
  bool ReadProperty(int32_t index, UnitValue* value);

  // The form window object of a loaded window record, or null.
  static FormWindow* Of(WindowRecord* record);

  BOOL PreTranslateMessage(MSG* msg) override;

  WindowRecord* Record() const;
  // The units of this instance of the window (see InstanceUnits); none without a record.
  std::optional<InstanceUnits> Units() const;
  bool Loaded() const { return loaded_; }
  bool Modal() const { return modal_; }
  bool ChildFlag() const { return child_; }
  int32_t InstanceFlag() const { return instance_; }
  // The layout pass: dockable units stacked along the top and bottom edges.
  void LayoutDockedUnits();
  // Raises the focus event of whichever unit (or the window) has the focus.
  void RaiseFocusedEvent();

  // Steps of LoadWindow that belong to the object.
  void SetLoadState(int32_t instanceFlag, bool modal) { instance_ = instanceFlag; modal_ = modal; }
  void MarkLoaded(bool loaded) { loaded_ = loaded; }
  void DisableOtherWindows();
  // Takes the accelerator table over; it goes with the window.
  void SetAccelerators(HACCEL accelerators) { accelerators_.Reset(accelerators); }
  HACCEL Accelerators() const { return accelerators_.Get(); }
  // Help opened with F1 is closed when the window goes.
  void NoteHelpOpened(const std::string& file) { helpFile_ = file; }

 protected:
  LRESULT UnitProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;

 private:
  void ApplyIcons();
  void ApplyShape();
  void ApplyFrameStyles();
  void ApplyStartPosition();
  void ApplyTopmost();
  // Handlers of UnitProc, one per message.
  LRESULT OnClose();
  LRESULT OnQueryEndSession();
  LRESULT OnDestroy();
  LRESULT OnMove();
  LRESULT OnSize();
  LRESULT OnActivate(bool active);
  LRESULT OnShowWindow(bool shown);
  LRESULT OnSetFocus();
  LRESULT OnSetCursor(HWND under, UINT hitTest);
  LRESULT OnEraseBkgnd(HDC dc);
  LRESULT OnCommand(WPARAM wParam, HWND control);
  LRESULT OnNotify(WPARAM wParam, NMHDR* header);
  LRESULT OnCtlColor(UINT msg, HDC dc, HWND control);
  LRESULT OnLayout();
  bool ShowItemCursor(HWND under, UINT hitTest);
  void PaintBackground(HDC dc);
  void ReenableOtherWindows();

  bool child_ = false;
  bool popup_ = false;             // the caller gave an owner
  int32_t instance_ = 0;
  bool loaded_ = false;
  bool modal_ = false;
  bool activatedOnce_ = false;
  HWND rememberedFocus_ = nullptr;
  fw::ScopedAccelerators accelerators_;
  fw::ScopedIcon bigIcon_;         // made from the icon bytes; empty with the default icons
  fw::ScopedIcon smallIcon_;
  fw::ScopedBitmap backBitmap_;    // decoded once from the background picture
  bool backDecoded_ = false;
  std::string helpFile_;
  std::vector<std::pair<HWND, bool>> disabledWindows_;  // (window, was enabled)
};

// Loads a window: creates the form window and all its units from the record, raises the
// created, moved and sized events and shows it. Returns 1 on success, 0 on failure. A window
// that is already loaded is activated instead (instance flag 0), or loaded once more as a
// further instance with objects of its own (flag set); units addressed by window id and unit
// id are then those of the instance loaded last.
int32_t LoadWindow(int32_t windowId, int32_t instanceFlag, bool modal, HWND owner);

// True while LoadWindow is creating a window modally (the window's create operation reads it).
bool LoadingModally();

// Loads a window for RuntimeNotify 2005 and, when its window item is flagged (bit 0), runs it
// modally: the nested loop returns when the window is gone.
int32_t LoadWindowService(int32_t windowId, HWND parent, int32_t instanceFlag);

}  // namespace forms
