// One sample check, for run.sh on a machine without a display: starts the checker, types the
// IDs given on the command line (separated by commas), presses "检测", saves a picture of the
// screen as a BMP file and prints the verdict lines in UTF-8. Exit code 0 when lines came.
//   sample_check.exe SCREENSHOT.bmp ID1,ID2,...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/checker_driver/checker_driver.h"

namespace {

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreen(const char* path) {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB};
  int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(stride) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof info};
  FILE* out = std::fopen(path, "wb");
  if (!out) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  return std::fclose(out) == 0;
}

// GBK to UTF-8, for the terminal.
std::string Utf8(const std::string& gbk) {
  int n = MultiByteToWideChar(936, 0, gbk.c_str(), -1, nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(936, 0, gbk.c_str(), -1, wide.data(), n);
  int m = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), m, nullptr, nullptr);
  out.resize(m > 0 ? m - 1 : 0);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: sample_check SCREENSHOT.bmp ID1,ID2,...\n");
    return 2;
  }
  std::string ids = argv[2];
  size_t count = 1;
  for (char& c : ids)
    if (c == ',') ++count;
  std::string typed;
  for (char c : ids) typed += c == ',' ? std::string("\r\n") : std::string(1, c);

  checker_driver::Checker checker;
  if (!checker.WaitForWindow()) {
    std::fprintf(stderr, "the checker's window did not appear\n");
    return 1;
  }
  checker.Type(typed.c_str());
  checker.Click("检测");
  std::vector<std::string> lines = checker.WaitForLines(count, 60000);
  Sleep(500);
  SaveScreen(argv[1]);
  for (const std::string& line : lines) std::printf("%s\n", Utf8(line).c_str());
  std::fflush(stdout);
  checker.Click("退出");
  checker.WaitForExit();
  return lines.empty() ? 1 : 0;
}
