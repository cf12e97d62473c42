// Shows a window in the checker's layout (input box, three buttons, black output box with
// coloured lines) under one of the carried skins, for judging the skins by eye.
//   skin_preview [number 1-33, default 33] [seconds to stay open, default 30] [box]
// With "box" a message box is shown over the window once the skin is attached.
#include <windows.h>
#include <richedit.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "skin/skin_blobs.h"

namespace {

using AttachFn = int32_t(__stdcall*)(const uint8_t*, uint32_t, const char*, int32_t, int32_t, int32_t);

uint32_t ByteSetLength(const uint8_t* set) {
  uint32_t length;
  std::memcpy(&length, set + 4, 4);
  return length;
}

// Writes the carried library to the temporary folder and binds its entry, as the program does
// with its own folder.
AttachFn LoadCarriedLibrary() {
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, path);
  lstrcatA(path, "skin-preview-SkinH_QX.dll");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD written = 0;
  WriteFile(file, kSkinLibraryByteSet + 8, ByteSetLength(kSkinLibraryByteSet), &written, nullptr);
  CloseHandle(file);
  HMODULE module = LoadLibraryA(path);
  return module ? reinterpret_cast<AttachFn>(reinterpret_cast<void*>(GetProcAddress(module, "SkinH_AttachRes")))
                : nullptr;
}

LRESULT CALLBACK PreviewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) DestroyWindow(hwnd);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void AppendLine(HWND box, COLORREF colour, const char* text) {
  CHARFORMATA cf = {};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_BOLD;
  cf.crTextColor = colour;
  cf.yHeight = 180;
  lstrcpyA(cf.szFaceName, "宋体");
  SendMessageA(box, EM_SETSEL, -1, -1);
  SendMessageA(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int number = __argc > 1 ? std::atoi(__argv[1]) : 33;
  int seconds = __argc > 2 ? std::atoi(__argv[2]) : 30;
  if (number < 1 || number > 33) number = 33;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = PreviewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "SkinPreview";
  RegisterClassA(&wc);
  HWND frame = CreateWindowExA(0, "SkinPreview", "青柚贴吧未注册账号检测机V1.1",
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 50, 50, 418, 417,
                               nullptr, nullptr, instance, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  auto make = [&](DWORD ex, const char* cls, const char* text, DWORD style, int x, int y, int w, int h) {
    HWND c = CreateWindowExA(ex, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, w, h, frame,
                             nullptr, instance, nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    return c;
  };
  HWND input = make(WS_EX_CLIENTEDGE, "EDIT", "", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 8, 24, 144, 344);
  SetWindowTextA(input, "lemon_tree\r\nzhangsan\r\n青柚");
  // The form runtime makes its buttons multi-line and vertically centred.
  make(0, "BUTTON", "检测", BS_DEFPUSHBUTTON | BS_MULTILINE | BS_VCENTER, 160, 88, 48, 24);
  make(0, "BUTTON", "说明", BS_PUSHBUTTON | BS_MULTILINE | BS_VCENTER, 160, 176, 48, 24);
  make(0, "BUTTON", "退出", BS_PUSHBUTTON | BS_MULTILINE | BS_VCENTER, 160, 264, 48, 24);
  LoadLibraryA("riched20.dll");
  HWND output = make(WS_EX_CLIENTEDGE, "RichEdit20A", "", ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 216, 24, 192, 344);
  SendMessageA(output, EM_SETBKGNDCOLOR, 0, RGB(0, 0, 0));
  AppendLine(output, RGB(255, 0, 0), "账号 lemon_tree 已注册！\r\n");
  AppendLine(output, RGB(0, 255, 0), "账号 zhangsan 未注册！\r\n");
  AppendLine(output, RGB(255, 255, 0), "使用说明：\r\n");
  ShowWindow(frame, SW_SHOW);
  UpdateWindow(frame);

  // Attach the way the program does: carried library written out, skin passed as bytes.
  AttachFn attach = LoadCarriedLibrary();
  const uint8_t* block = kSkinDataByteSets[number - 1];
  if (attach) attach(block + 8, ByteSetLength(block), "", 0, 0, 0);
  if (__argc > 3 && lstrcmpiA(__argv[3], "box") == 0) {
    SetTimer(frame, 1, static_cast<UINT>(seconds) * 1000, nullptr);
    MessageBoxA(frame, "网络连接失败或该程序已更新！，请重新下载！", "信息：", MB_OK);
    return 0;
  }
  SetTimer(frame, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(frame, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
