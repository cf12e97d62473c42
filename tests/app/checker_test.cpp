// The checker driven as a user would: the real program is started against the local stand-in
// service, IDs are typed into its input box, its buttons are clicked, and the lines of its
// output box are read back with their colours.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

const char kTitle[] = "青柚贴吧未注册账号检测机V1.1";

std::string ProgramDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *strrchr(path, '\\') = 0;
  return path;
}

// The stand-in's record directory, as a Windows path.
std::string RecordDirectory() {
  const char* dir = getenv("STANDIN_RECORD_DIR");
  if (!dir) return "";
  std::string path = std::string("Z:") + dir;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// Replaces what the stand-in answers for some addresses ("host/path" keys).
void SetOverrides(const std::string& json) {
  std::ofstream(RecordDirectory() + "\\overrides.json") << json;
}

// Every request the stand-in received, in order, as its request line.
std::vector<std::string> RequestLines() {
  std::vector<std::string> lines;
  for (int i = 1;; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\req-%06d.bin", i);
    std::ifstream in(RecordDirectory() + name, std::ios::binary);
    if (!in) break;
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void ClearRecords() {
  for (int i = 1; DeleteFileA((RecordDirectory() + [&] {
         char name[32];
         std::snprintf(name, sizeof name, "\\req-%06d.bin", i);
         return std::string(name);
       }()).c_str());
       ++i) {
  }
  DeleteFileA((RecordDirectory() + "\\overrides.json").c_str());
}

struct ChildSearch {
  const char* cls;
  const char* text;
  HWND found;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<ChildSearch*>(param);
  char cls[64] = {}, text[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  if (!lstrcmpiA(cls, s->cls) && (!s->text || !strcmp(text, s->text))) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND Child(HWND parent, const char* cls, const char* text = nullptr) {
  ChildSearch s{cls, text, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

struct BoxSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<BoxSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == s->pid && !strcmp(cls, "#32770") && IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The running checker: its process, its window and the units on it.
class Checker {
 public:
  Checker() {
    std::string command = "\"" + ProgramDirectory() + "\\checker.exe\"";
    STARTUPINFOA si{sizeof si};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        ProgramDirectory().c_str(), &si, &pi_))
      return;
    WaitForInputIdle(pi_.hProcess, 10000);
  }
  ~Checker() {
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }

  // Waits for the start window; false when the program ended or never showed it.
  bool WaitForWindow() {
    for (int i = 0; i < 300 && !window_; ++i) {
      HWND w = FindWindowA(nullptr, kTitle);
      DWORD pid = 0;
      if (w) GetWindowThreadProcessId(w, &pid);
      if (w && pid == pi_.dwProcessId && IsWindowVisible(w)) window_ = w;
      else if (WaitForSingleObject(pi_.hProcess, 50) == WAIT_OBJECT_0) return false;
    }
    if (!window_) return false;
    input_ = Child(window_, "Edit");
    output_ = Child(window_, "RichEdit20A");
    if (!output_) output_ = Child(window_, "RICHEDIT");
    return input_ && output_;
  }

  void Type(const char* text) {
    SendMessageA(input_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  void Click(const char* caption) {
    PostMessageA(Child(window_, "Button", caption), BM_CLICK, 0, 0);
  }

  std::string Output() {
    std::vector<char> buffer(1 << 16);
    SendMessageA(output_, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
  }

  // Waits until the output box holds `count` lines (each ending in a line break).
  std::vector<std::string> WaitForLines(size_t count, int timeoutMs = 20000) {
    std::vector<std::string> lines;
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
      lines = Lines();
      if (lines.size() >= count) break;
      Sleep(100);
    }
    return lines;
  }

  std::vector<std::string> Lines() {
    std::string text = Output();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
      }
    }
    return lines;
  }

  // The colour of each of the first `count` lines of the output box: the one known colour
  // (0x00BBGGRR) found in the line's band of pixel rows on screen (a wrapped line takes several
  // rows of text), or 0 for none (an empty line). Positions come from the control itself.
  std::vector<COLORREF> LineColours(size_t count, const std::vector<COLORREF>& known) {
    SendMessageA(output_, WM_VSCROLL, SB_TOP, 0);
    RedrawWindow(output_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Sleep(300);
    RECT r;
    GetClientRect(output_, &r);
    POINT origin{0, 0};
    ClientToScreen(output_, &origin);
    // Character index of each line's start: a two-byte character counts one, and the line
    // end one (the control keeps a paragraph mark).
    std::vector<int> tops;
    LONG index = 0;
    for (const std::string& line : Lines()) {
      if (tops.size() > count) break;
      LRESULT packed = SendMessageA(output_, EM_POSFROMCHAR, index, 0);
      tops.push_back(static_cast<short>(HIWORD(packed)));
      for (size_t i = 0; i < line.size(); ++i, ++index)
        if (static_cast<unsigned char>(line[i]) >= 0x80) ++i;
      ++index;
    }
    if (tops.size() == count) tops.push_back(tops.empty() ? 0 : tops.back() + (tops.size() > 1 ? tops[1] - tops[0] : 12));
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> colours;
    for (size_t line = 0; line + 1 < tops.size() && line < count; ++line) {
      COLORREF found = 0;
      for (int y = tops[line]; y < tops[line + 1] && y < r.bottom && !found; ++y)
        for (int x = 0; x < r.right && !found; ++x) {
          COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
          for (COLORREF k : known)
            if (c == k) found = k;
        }
      colours.push_back(found);
    }
    ReleaseDC(nullptr, screen);
    return colours;
  }

  // The message box of the program, if one is showing: its caption and text; presses OK.
  bool AnswerBox(std::string* caption, std::string* text, int timeoutMs = 20000) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
      BoxSearch s{pi_.dwProcessId, nullptr};
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
      if (s.found) {
        char buffer[512] = {};
        SendMessageA(s.found, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        *caption = buffer;
        SendMessageA(GetDlgItem(s.found, 0xFFFF), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        *text = buffer;
        PostMessageA(s.found, WM_COMMAND, IDOK, 0);
        return true;
      }
      if (WaitForSingleObject(pi_.hProcess, 50) == WAIT_OBJECT_0) return false;
    }
    return false;
  }

  DWORD WaitForExit(int timeoutMs = 10000) {
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

  HWND window() const { return window_; }

 private:
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
  HWND input_ = nullptr;
  HWND output_ = nullptr;
};

constexpr COLORREF kRed = 0x0000FF, kGreen = 0x00FF00, kGrey = 0xC0C0C0, kYellow = 0x00FFFF;
const std::vector<COLORREF> kKnown = {kRed, kGreen, kGrey, kYellow};

class CheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RecordDirectory().empty()) GTEST_SKIP() << "needs the stand-in service (run-isolated.sh)";
    ClearRecords();
  }
  void TearDown() override {
    if (!RecordDirectory().empty()) ClearRecords();
  }
};

TEST_F(CheckerTest, VerdictsFollowTheMarkersInInputOrder) {
  Checker checker;
  ASSERT_TRUE(checker.WaitForWindow());
  // taken1: a profile exists. freeA: no profile, search page without markers. freehalf: the
  // first search marker only (no line). freetaken: both search markers. Then an empty ID and
  // a Chinese one.
  checker.Type("taken1\r\nfreeA\r\nfreehalf\r\nfreetaken\r\n\r\n张\r\n");
  ClearRecords();
  checker.Click("检测");
  std::vector<std::string> lines = checker.WaitForLines(5);
  std::vector<std::string> expected = {"账号 taken1 已注册！", "账号 freeA 未注册！", "账号 freetaken 已注册！",
                                       "账号  已注册！", "账号 张 已注册！"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(checker.LineColours(5, kKnown), (std::vector<COLORREF>{kRed, kGreen, kRed, kRed, kRed}));

  std::vector<std::string> requests = RequestLines();
  std::vector<std::string> sent = {
      "GET /p/%74%61%6B%65%6E%31?from=tieba HTTP/1.1",
      "GET /p/%66%72%65%65%41?from=tieba HTTP/1.1",
      "GET /f/search/res?ie=utf-8&qw=freeA HTTP/1.1",
      "GET /p/%66%72%65%65%68%61%6C%66?from=tieba HTTP/1.1",
      "GET /f/search/res?ie=utf-8&qw=freehalf HTTP/1.1",
      "GET /p/%66%72%65%65%74%61%6B%65%6E?from=tieba HTTP/1.1",
      "GET /f/search/res?ie=utf-8&qw=freetaken HTTP/1.1",
      "GET /p/?from=tieba HTTP/1.1",
      "GET /p/%E5%BC%A0?from=tieba HTTP/1.1",
  };
  EXPECT_EQ(requests, sent);
}

TEST_F(CheckerTest, AFailedRequestIsReportedAsAFailureNotAVerdict) {
  Checker checker;
  ASSERT_TRUE(checker.WaitForWindow());
  // The profile host answers one ID with an empty page and resets the connection for another;
  // the search page of a third comes back empty.
  SetOverrides(R"({"www.baidu.com/p/empty1": {"status": 200, "body": ""},
                   "www.baidu.com/p/down1": {"reset": true},
                   "tieba.baidu.com/f/search/res": {"status": 200, "body": ""}})");
  checker.Type("empty1\r\ndown1\r\nfreeB\r\ntaken2");
  checker.Click("检测");
  std::vector<std::string> lines = checker.WaitForLines(4);
  std::vector<std::string> expected = {"账号 empty1 检测失败！", "账号 down1 检测失败！",
                                       "账号 freeB 检测失败！", "账号 taken2 已注册！"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(checker.LineColours(4, kKnown), (std::vector<COLORREF>{kGrey, kGrey, kGrey, kRed}));
}

TEST_F(CheckerTest, UsageLinesAppendOnEveryClickAndACheckClearsTheBox) {
  Checker checker;
  ASSERT_TRUE(checker.WaitForWindow());
  checker.Click("说明");
  checker.WaitForLines(5);
  checker.Click("说明");
  std::vector<std::string> lines = checker.WaitForLines(10);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "本程序由柚工坊制作，只为交流使用，由使用者造成的任何后果本人概不负责。");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "使用说明：");
  EXPECT_EQ(lines[4], "欢迎向本人反馈BUG。。");
  EXPECT_EQ(lines[5], lines[0]);
  EXPECT_EQ(lines[9], lines[4]);
  std::vector<COLORREF> block = {kYellow, 0, kYellow, kYellow, kYellow};
  std::vector<COLORREF> both = block;
  both.insert(both.end(), block.begin(), block.end());
  EXPECT_EQ(checker.LineColours(10, kKnown), both);

  // An empty input clears the box and writes nothing.
  checker.Type("");
  checker.Click("检测");
  for (int i = 0; i < 50 && !checker.Lines().empty(); ++i) Sleep(100);
  EXPECT_EQ(checker.Output(), "");
}

TEST_F(CheckerTest, UpdatePageWithoutTheMarkerEndsTheProgram) {
  // The overrides file is UTF-8 JSON: the path's Chinese name is written as escapes.
  SetOverrides(R"({"hi.baidu.com/\u67da\u5de5\u574a/item/1121dbf01dc7637dc9f337a5": {"status": 200, "body": "moved"}})");
  Checker checker;
  std::string caption, text;
  ASSERT_TRUE(checker.AnswerBox(&caption, &text));
  EXPECT_EQ(caption, "信息：");
  EXPECT_EQ(text, "网络连接失败或该程序已更新！，请重新下载！");
  EXPECT_EQ(checker.WaitForExit(), 0u);
}

TEST_F(CheckerTest, TheSkinLibraryIsWrittenHiddenOnceAndReused) {
  std::string path = ProgramDirectory() + "\\SkinH_QX.dll";
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  FILETIME first{};
  {
    Checker checker;
    ASSERT_TRUE(checker.WaitForWindow());
    DWORD attributes = GetFileAttributesA(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    first = data.ftLastWriteTime;
    checker.Click("退出");
    EXPECT_EQ(checker.WaitForExit(), 0u);
  }
  Sleep(1100);
  Checker again;
  ASSERT_TRUE(again.WaitForWindow());
  WIN32_FILE_ATTRIBUTE_DATA data;
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  EXPECT_EQ(CompareFileTime(&first, &data.ftLastWriteTime), 0);
  // Escape closes the window, which ends the program.
  PostMessageA(again.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(again.WaitForExit(), 0u);
}

}  // namespace
