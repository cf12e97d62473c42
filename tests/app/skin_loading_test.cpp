// The per-user skin library's loading, in this process: the file is held against renames and
// deletion from its comparison until it is loaded, the system's error boxes are off during the
// load, and the caller's error mode is back afterwards. The carried library is, for this test,
// the foreign library (built beside this program), whose loading notes that moment.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/start_up.h"
#include "tests/web/test_support.h"

// What the program carries, as start_up.cpp reads it: the skin library as a byte set {1,
// length, bytes}, filled in by the test, and no skins.
extern "C" {
alignas(4) uint8_t kSkinLibraryByteSet[4 << 20];
}
extern "C" const uint8_t* const kSkinDataByteSets[33] = {};

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.rfind(L'\\'));
}

bool CarryFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(file, nullptr), read = 0;
  bool ok = size + 8 <= sizeof kSkinLibraryByteSet &&
            ReadFile(file, kSkinLibraryByteSet + 8, size, &read, nullptr) && read == size;
  CloseHandle(file);
  const int32_t header[2] = {1, static_cast<int32_t>(size)};
  std::memcpy(kSkinLibraryByteSet, header, sizeof header);
  return ok;
}

TEST(SkinLoading, TheCheckedCopyIsHeldWhileItLoadsWithTheErrorBoxesOff) {
  StartTestRuntime();
  ASSERT_TRUE(CarryFile(OwnFolder() + L"\\foreign_skin.dll"));
  const std::wstring folder = OwnFolder() + L"\\skin-loading-test";
  const std::wstring library = folder + L"\\SkinH_QX.dll";
  CreateDirectoryW(folder.c_str(), nullptr);
  SetFileAttributesW(library.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(library.c_str());

  const UINT callersMode = SEM_NOGPFAULTERRORBOX;
  SetErrorMode(callersMode);
  ASSERT_TRUE(LoadCheckedSkinLibrary(std::u16string(folder.begin(), folder.end())));
  EXPECT_EQ(SetErrorMode(0), callersMode) << "the caller's error mode is back";

  HMODULE module = GetModuleHandleW(library.c_str());
  ASSERT_NE(module, nullptr);
  auto state = reinterpret_cast<void(__stdcall*)(int32_t*, uint32_t*)>(
      reinterpret_cast<void*>(GetProcAddress(module, "LoadingState")));
  ASSERT_NE(state, nullptr);
  int32_t held = -1;
  uint32_t mode = 0;
  state(&held, &mode);
  EXPECT_EQ(held, 1) << "the file could be renamed or deleted while it was loaded";
  EXPECT_EQ(mode & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // Once loaded it is no longer held: the same opening that failed then succeeds now.
  HANDLE file = CreateFileW(library.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace
