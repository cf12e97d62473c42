// The checker on systems other than a Chinese one with a writable folder, driven from outside
// with the wide window functions (this process runs with the same code page as the checker):
// the start window reads the same, a Chinese ID is requested and reported as typed, and a
// program folder that takes no skin library still gives a working window. The setting (system
// locale, read-only folder) is made by run_in_setting.sh before this program starts.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/message_box.h"
#include "tests/support/standin_records.h"

namespace {

// A GBK literal of this source as UTF-16, independent of this process's code page.
std::wstring W(const char* gbk) {
  int n = MultiByteToWideChar(936, 0, gbk, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(936, 0, gbk, -1, wide.data(), n);
  return wide;
}

std::wstring TextOf(HWND window) {
  std::vector<wchar_t> buffer(1 << 16, 0);
  SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

// The child of `parent` of class `cls` whose text is `text` (any text when empty), or null.
HWND Child(HWND parent, const char* cls, const std::wstring& text = L"") {
  return FindChildWindow(parent, [&](HWND child) {
    return ClassIs(child, cls) && (text.empty() || TextOf(child) == text);
  });
}

// The folder the checker runs from: CHECKER_DIR when the setting gives one, else this
// program's own.
std::wstring CheckerDirectory() {
  wchar_t dir[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"CHECKER_DIR", dir, MAX_PATH)) return dir;
  GetModuleFileNameW(nullptr, dir, MAX_PATH);
  if (wchar_t* slash = wcsrchr(dir, L'\\')) *slash = 0;
  return dir;
}

const char kTitle[] = "青柚贴吧未注册账号检测机V1.1";

// The checker started from CheckerDirectory(), its window and units found by their wide texts.
class WideChecker {
 public:
  WideChecker() {
    std::wstring dir = CheckerDirectory();
    std::wstring command = L"\"" + dir + L"\\checker.exe\"";
    STARTUPINFOW si{sizeof si};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_))
      WaitForInputIdle(pi_.hProcess, 10000);
  }
  // Ends the checker and waits until it is gone, so that its files are free again.
  ~WideChecker() {
    if (!pi_.hProcess) return;
    TerminateProcess(pi_.hProcess, 1);
    WaitForSingleObject(pi_.hProcess, 30000);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }

  // Waits (30 s at most) for the visible start window; a message box meanwhile is kept in
  // `box` and answered.
  bool WaitForWindow(std::wstring* box) {
    const std::wstring title = W(kTitle);
    auto answerBox = [&] {
      if (HWND found = FindMessageBox(pi_.dwProcessId)) {
        HWND label = GetDlgItem(found, 0xFFFF);
        *box = label ? TextOf(label) : L"?";
        PostMessageW(found, WM_COMMAND, IDOK, 0);
      }
    };
    // The caption as the system keeps it: no message that a busy program would hold.
    auto isStartWindow = [&](HWND w) {
      wchar_t caption[256] = {};
      GetWindowTextW(w, caption, 256);
      return title == caption;
    };
    window_ = WaitForWindowOfProcess(pi_, isStartWindow, 30000, answerBox);
    input_ = window_ ? Child(window_, "Edit") : nullptr;
    output_ = window_ ? Child(window_, "RichEdit20A") : nullptr;
    return input_ && output_;
  }

  void Type(const std::wstring& text) { SendMessageW(input_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }
  void Click(const char* caption) { PostMessageW(Child(window_, "Button", W(caption)), BM_CLICK, 0, 0); }

  // The output box's first line once it has one (30 s at most).
  std::wstring WaitForLine() {
    for (int waited = 0; waited < 30000; waited += 100) {
      std::wstring text = TextOf(output_);
      size_t end = text.find_first_of(L"\r\n");
      if (end != std::wstring::npos) return text.substr(0, end);
      Sleep(100);
    }
    return L"";
  }

  // The full paths of the modules named SkinH_QX.dll loaded in the checker ("?" when they
  // cannot be listed).
  std::vector<std::wstring> SkinModules() const {
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!EnumProcessModules(pi_.hProcess, modules, sizeof modules, &bytes)) return {L"?"};
    std::vector<std::wstring> found;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
      wchar_t path[MAX_PATH] = {};
      GetModuleFileNameExW(pi_.hProcess, modules[i], path, MAX_PATH);
      const wchar_t* name = wcsrchr(path, L'\\');
      if (name && !lstrcmpiW(name + 1, L"SkinH_QX.dll")) found.push_back(path);
    }
    return found;
  }

  HWND window() const { return window_; }

 private:
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr, input_ = nullptr, output_ = nullptr;
};

// The skin library of the user's own folder.
std::wstring UserSkinLibrary() {
  wchar_t local[MAX_PATH] = {};
  GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  return std::wstring(local) + L"\\" + W("柚工坊") + L"\\SkinH_QX.dll";
}

// The checker loaded exactly one skin library, and from `path`.
void ExpectSkinLibraryLoadedFrom(const WideChecker& checker, const std::wstring& path) {
  std::vector<std::wstring> loaded = checker.SkinModules();
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(lstrcmpiW(loaded[0].c_str(), path.c_str()), 0);
}

// A foreign library with the skin's export leaves this event behind when it is loaded.
bool ForeignLibraryWasLoaded() {
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"ForeignSkinLibraryLoaded");
  if (event) CloseHandle(event);
  return event != nullptr;
}

std::wstring EnvironmentPath(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

std::vector<char> ReadBytes(const std::wstring& path) {
  std::vector<char> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), bytes.size(), &read, nullptr)) read = 0;
  bytes.resize(read);
  CloseHandle(file);
  return bytes;
}

// Replaces whatever is at `path` with `bytes`.
bool WriteBytes(const std::wstring& path, const std::vector<char>& bytes) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), bytes.size(), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
}

// The names of the files in `folder` other than "." and "..".
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..")) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!getenv("STANDIN_RECORD_DIR")) GTEST_SKIP() << "needs the stand-in service (run-isolated.sh)";
    std::printf("system code page %u\n", GetACP());
  }
};

// The window's title, its buttons' captions, the update request and the check of a Chinese ID
// are as on a Chinese system: the same bytes reach the service and the same line is printed.
TEST_F(CodePageTest, TheStartWindowAndAChineseCheckAreAsOnAChineseSystem) {
  WideChecker checker;
  std::wstring box;
  ASSERT_TRUE(checker.WaitForWindow(&box)) << "message box: " << box.size();
  EXPECT_EQ(TextOf(checker.window()), W(kTitle));
  for (const char* caption : {"说明", "退出", "检测"})
    EXPECT_NE(Child(checker.window(), "Button", W(caption)), nullptr) << caption;

  // The update request's path holds GBK bytes: they reach the service as a Chinese system
  // sends them.
  std::vector<std::string> start = RequestLines();
  ASSERT_FALSE(start.empty());
  EXPECT_EQ(start[0], "GET /柚工坊/item/1121dbf01dc7637dc9f337a5 HTTP/1.1");
  size_t before = RequestLines().size();
  checker.Type(W("张三"));
  checker.Click("检测");
  EXPECT_EQ(checker.WaitForLine(), W("账号 张三 已注册！"));
  std::vector<std::string> requests = RequestLines();
  ASSERT_GT(requests.size(), before);
  EXPECT_EQ(requests[before], "GET /p/%E5%BC%A0%E4%B8%89?from=tieba HTTP/1.1");
}

// A program folder that cannot take the library (read-only): the library goes to the user's
// own folder and is loaded from exactly there; the window works.
TEST_F(CodePageTest, AFolderThatTakesNoLibraryPutsTheSkinInTheUsersFolder) {
  WideChecker checker;
  std::wstring box;
  ASSERT_TRUE(checker.WaitForWindow(&box)) << "a message box showed";
  EXPECT_EQ(GetFileAttributesW((CheckerDirectory() + L"\\SkinH_QX.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  ExpectSkinLibraryLoadedFrom(checker, UserSkinLibrary());
  checker.Type(L"taken1");
  checker.Click("检测");
  EXPECT_EQ(checker.WaitForLine(), W("账号 taken1 已注册！"));
}

// Any program of the user can write the user's folder, and another build leaves its own
// library there: whatever is not byte for byte the carried library (a foreign library with the
// skin's export, a copy cut short, a copy of the right size with one byte changed) is never
// loaded. The window is skinned from a fresh copy, which is what the file holds afterwards,
// and no temporary file is left beside it.
TEST_F(CodePageTest, AnythingElseInTheUsersFolderIsReplacedBeforeTheSkinLoads) {
  const std::vector<char> carried = ReadBytes(EnvironmentPath(L"CARRIED_SKIN_LIBRARY"));
  const std::vector<char> foreign = ReadBytes(EnvironmentPath(L"FOREIGN_SKIN_LIBRARY"));
  ASSERT_GT(carried.size(), 1024u);
  ASSERT_FALSE(foreign.empty());
  std::vector<char> shortened(carried.begin(), carried.begin() + carried.size() / 2);
  std::vector<char> changed = carried;
  changed.back() ^= 0x5A;
  const std::wstring library = UserSkinLibrary();
  CreateDirectoryW(library.substr(0, library.rfind(L'\\')).c_str(), nullptr);

  struct Planted {
    const char* what;
    const std::vector<char>& bytes;
  } cases[] = {{"a foreign library", foreign}, {"the library cut short", shortened},
               {"the library with one byte changed", changed}};
  for (const Planted& planted : cases) {
    SCOPED_TRACE(planted.what);
    ASSERT_TRUE(WriteBytes(library, planted.bytes));
    WideChecker checker;
    std::wstring box;
    ASSERT_TRUE(checker.WaitForWindow(&box)) << "a message box showed";
    EXPECT_TRUE(box.empty());
    EXPECT_FALSE(ForeignLibraryWasLoaded());
    ExpectSkinLibraryLoadedFrom(checker, library);
    EXPECT_TRUE(ReadBytes(library) == carried) << "the file is not the carried library";
    EXPECT_EQ(FilesIn(library.substr(0, library.rfind(L'\\'))), std::vector<std::wstring>{L"SkinH_QX.dll"});
  }
}

// A program folder whose name GBK holds only through a look-alike (Château: Chateau), holds
// (José) or cannot hold (한국, Straße), beside a folder a conversion to GBK could take for it:
// the program reads its own checker.ini, whose proxy (the stand-in) carries the update check and
// a check's request; the look-alike's names a proxy nobody answers, and a missing file would
// send them directly. The skin library is written to its own folder and loaded from there.
TEST_F(CodePageTest, TheProgramsOwnFolderIsReadNeverALookAlike) {
  const std::wstring own = CheckerDirectory(), lookalike = EnvironmentPath(L"LOOKALIKE_DIR");
  ASSERT_FALSE(lookalike.empty());
  WideChecker checker;
  std::wstring box;
  ASSERT_TRUE(checker.WaitForWindow(&box)) << "a message box showed";
  EXPECT_TRUE(box.empty());
  std::vector<std::string> start = RequestLines();
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].rfind("GET http://hi.baidu.com", 0), 0u) << start[0];
  ExpectSkinLibraryLoadedFrom(checker, own + L"\\SkinH_QX.dll");
  EXPECT_EQ(FilesIn(lookalike), std::vector<std::wstring>{L"checker.ini"});
  checker.Type(L"taken1");
  checker.Click("检测");
  EXPECT_EQ(checker.WaitForLine(), W("账号 taken1 已注册！"));
  std::vector<std::string> requests = RequestLines();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].rfind("GET http://www.baidu.com", 0), 0u) << requests[1];
}

// No skin, no error box and a working window when no good library can be had: the library
// next to the program is the carried one cut short (loaded as it is, it fails), or the user's
// folder holds a foreign library and cannot be written, so it is not replaced and not loaded.
TEST_F(CodePageTest, ALibraryThatDoesNotLoadLeavesTheWindowUnskinned) {
  WideChecker checker;
  std::wstring box;
  ASSERT_TRUE(checker.WaitForWindow(&box)) << "a message box showed";
  EXPECT_TRUE(box.empty());
  EXPECT_EQ(checker.SkinModules(), std::vector<std::wstring>{});
  EXPECT_FALSE(ForeignLibraryWasLoaded());
  checker.Type(L"freeA");
  checker.Click("检测");
  EXPECT_EQ(checker.WaitForLine(), W("账号 freeA 未注册！"));
}

}  // namespace
