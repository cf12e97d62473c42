// Shared pieces of the skin library tests (see skin_test_support.h).
#include "tests/skin/skin_test_support.h"

#include <cstdio>
#include <cstring>

#include "skin/skin_blobs.h"

namespace skintest {
namespace {

TestWindow* g_window = nullptr;

// Length word of a byte set {1, length, bytes}.
uint32_t ByteSetLength(const uint8_t* set) {
  uint32_t length;
  std::memcpy(&length, set + 4, 4);
  return length;
}

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && g_window &&
      reinterpret_cast<HWND>(lParam) == g_window->button) {
    ++g_window->clicks;
    if (g_window->onClick) g_window->onClick();
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

HMODULE LoadCarriedLibrary(std::string* path) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  char folder[MAX_PATH];
  std::snprintf(folder, sizeof folder, "%sskin-test-%lu-%lu", temp, GetCurrentProcessId(), GetTickCount());
  CreateDirectoryA(folder, nullptr);
  std::string file = std::string(folder) + "\\SkinH_QX.dll";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  uint32_t length = ByteSetLength(kSkinLibraryByteSet);
  DWORD written = 0;
  WriteFile(h, kSkinLibraryByteSet + 8, length, &written, nullptr);
  CloseHandle(h);
  if (written != length) return nullptr;
  if (path) *path = file;
  return LoadLibraryA(file.c_str());
}

AttachFn FindAttach(HMODULE module) {
  if (!module) return nullptr;
  return reinterpret_cast<AttachFn>(reinterpret_cast<void*>(GetProcAddress(module, "SkinH_AttachRes")));
}

int32_t AttachChecked(AttachFn attach, const void* data, uint32_t size, bool* stackBalanced) {
  static const char kEmpty[] = "";
  uint32_t before, after;
  int32_t result;
  const void* d = data;
  uint32_t s = size;
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl $0\n\t"
      "pushl $0\n\t"
      "pushl $0\n\t"
      "pushl %%eax\n\t"
      "pushl %%edx\n\t"
      "pushl %%ecx\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%edi\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result), "=S"(before), "=D"(after), "+c"(d), "+d"(s)
      : "b"(attach), "0"(kEmpty)
      : "memory", "cc");
  *stackBalanced = before == after;
  return result;
}

std::vector<uint8_t> SkinCopy(int number) {
  const uint8_t* set = kSkinDataByteSets[number - 1];
  const uint8_t* data = set + 8;
  return std::vector<uint8_t>(data, data + ByteSetLength(set));
}

skin::SkinScheme SchemeOf(int number) {
  std::vector<uint8_t> block = SkinCopy(number);
  skin::SkinScheme scheme{};
  skin::ParseSkin(block.data(), static_cast<uint32_t>(block.size()), &scheme);
  return scheme;
}

void Reseal(std::vector<uint8_t>* block) {
  uint32_t crc = skin::Crc32(block->data(), block->size(), 12);
  std::memcpy(block->data() + 12, &crc, 4);
}

bool CreateTestWindow(TestWindow* window, int x, int y) {
  static bool registered = false;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "SkinTestWindow";
    registered = RegisterClassA(&wc) != 0;
  }
  g_window = window;
  window->clicks = 0;
  // Topmost, in a corner the program's centred window does not reach: pixels are read back
  // from the screen surface, and other test programs may have windows open at the same time.
  window->frame = CreateWindowExA(WS_EX_TOPMOST, "SkinTestWindow", "Skin test", WS_OVERLAPPEDWINDOW, x, y,
                                  360, 240, nullptr, nullptr, instance, nullptr);
  if (!window->frame) return false;
  window->edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN,
                                 10, 10, 150, 150, window->frame, reinterpret_cast<HMENU>(101), instance, nullptr);
  window->button = CreateWindowExA(0, "BUTTON", "Check", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE, 180,
                                   60, 96, 32, window->frame, reinterpret_cast<HMENU>(102), instance, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(window->edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  SendMessageA(window->button, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  // Shown without taking the activation, which would steer other programs' keyboard input.
  ShowWindow(window->frame, SW_SHOWNOACTIVATE);
  UpdateWindow(window->frame);
  Pump(150);
  return window->edit && window->button;
}

void DestroyTestWindow(TestWindow* window) {
  if (window->frame) DestroyWindow(window->frame);
  Pump(30);
  *window = TestWindow{};
  g_window = nullptr;
}

void Pump(int ms) {
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (static_cast<int>(end - GetTickCount()) > 0);
}

COLORREF ClientPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

COLORREF WindowPixel(HWND window, int x, int y) {
  HDC dc = GetWindowDC(window);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

std::vector<COLORREF> ClientImage(HWND window) {
  RECT rc;
  GetClientRect(window, &rc);
  std::vector<COLORREF> pixels;
  HDC dc = GetDC(window);
  for (int y = 0; y < rc.bottom; ++y)
    for (int x = 0; x < rc.right; ++x) pixels.push_back(GetPixel(dc, x, y));
  ReleaseDC(window, dc);
  return pixels;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
  return text;
}

COLORREF FaceAt(COLORREF top, COLORREF bottom, int y, int height) {
  COLORREF out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int a = (top >> shift) & 0xFF, b = (bottom >> shift) & 0xFF;
    out |= static_cast<COLORREF>(a + (b - a) * y / (height > 1 ? height - 1 : 1)) << shift;
  }
  return out;
}

}  // namespace skintest
