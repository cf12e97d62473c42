// DLL command binding: through a real program (dll_probe) for the results and the error box,
// and in process for what the binding keeps in the runtime's table.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "runtime/dll_binding.h"
#include "runtime/interface/runtime_interface.h"
#include "runtime/runtime_app.h"
#include "tests/support/child_program.h"
#include "tests/web/test_support.h"

namespace {

struct ProbeResult {
  DWORD exitCode = 0;
  BoxSeen box;
};

// Starts dll_probe with one case word, answers its error box if one appears, and waits.
ProbeResult RunProbe(const std::string& which) {
  std::string dir = TestDirectory();
  std::string command = "\"" + dir + "\\dll_probe.exe\" " + which;
  ChildRun child = RunChild(command, 20000);
  return ProbeResult{child.exitCode, child.box};
}

TEST(DllProbe, BoundCommandsReturnTheirResults) {
  EXPECT_EQ(RunProbe("add").exitCode, 5u);
  EXPECT_EQ(RunProbe("twice").exitCode, 27u);
  EXPECT_EQ(RunProbe("ordinal").exitCode, 142u) << "#9 binds the export with ordinal 9";
  EXPECT_EQ(RunProbe("system-list").exitCode, 7u) << "Kernel32 and User32 exports bind by list";
  EXPECT_EQ(RunProbe("absolute").exitCode, 33u) << "a path with a drive letter loads as given";
}

// The error box ends the program with -1; only the low byte may survive the platform.
void ExpectErrorBox(const ProbeResult& r, const std::string& message, const char* code) {
  ASSERT_TRUE(r.box.seen) << "no error box";
  EXPECT_EQ(r.box.caption, "错误");
  std::string expected = "运行时出错!\r\n\r\n";
  if (code) expected += std::string("错误代码：") + code + "\r\n\r\n";
  expected += "错误信息：" + message;
  EXPECT_EQ(r.box.text.substr(0, expected.size()), expected) << r.box.text;
  EXPECT_EQ(r.exitCode & 0xFF, 0xFFu);
}

TEST(DllProbe, MisdeclaredCommandIsStackError6) {
  // Too many arguments leave words on the stack; too few let the function take the caller's.
  ExpectErrorBox(RunProbe("stack-long"), "调用DLL命令后发现堆栈错误", "6");
  ExpectErrorBox(RunProbe("stack-short"), "调用DLL命令后发现堆栈错误", "6");
}

TEST(DllProbe, UnboundCommandsNameLibraryAndExport) {
  ExpectErrorBox(RunProbe("missing-export"),
                 "无法找到指定DLL库文件“bindtest.dll”中的输出命令“NoSuchExport”", nullptr);
  ExpectErrorBox(RunProbe("missing-library"),
                 "无法找到指定DLL库文件“nosuchlib.dll”中的输出命令“Anything”", nullptr);
  ExpectErrorBox(RunProbe("missing-system"), "无法找到指定DLL库文件中的输出命令“NoSuchFunction”",
                 nullptr);
  // An ordinal appears as written.
  ExpectErrorBox(RunProbe("missing-ordinal"),
                 "无法找到指定DLL库文件“bindtest.dll”中的输出命令“#999”", nullptr);
}

// In process: the table the binding fills.
class DllTable : public ::testing::Test {
 protected:
  void Declare(std::initializer_list<std::pair<const char*, const char*>> commands) {
    rt::RuntimeApp& app = rt::TheApp();
    app.paths.programDirectory = TestDirectory();
    app.paths.moduleDirectory = TestDirectory() + "\\";
    app.dll = {};
    for (auto& [file, name] : commands) {
      app.dll.files.push_back(file);
      app.dll.names.push_back(name);
      app.dll.modules.push_back(nullptr);
      app.dll.addresses.push_back(nullptr);
    }
  }
  void TearDown() override { rt::ReleaseDllCommands(); }
  static uint32_t Call(uint32_t index, std::initializer_list<uint32_t> words) {
    return ProgramCallDll(index, words.begin(), static_cast<uint32_t>(words.size()));
  }
};

TEST_F(DllTable, SecondCallDoesNoLoading) {
  Declare({{"bindtest.dll", "Triple"}});
  EXPECT_EQ(Call(0, {5}), 15u);
  rt::DllCommandTable& t = rt::TheApp().dll;
  HMODULE module = t.modules[0];
  ASSERT_NE(module, nullptr);
  // Were the second call to load anything, this name would end the program.
  t.files[0] = "gone-away.dll";
  EXPECT_EQ(Call(0, {6}), 18u);
  EXPECT_EQ(t.modules[0], module);
}

TEST_F(DllTable, EachCommandHoldsOneReferenceReleasedAtTheEnd) {
  Declare({{"bindtest.dll", "Add2"}, {"bindtest.dll", "Triple"}});
  EXPECT_EQ(Call(0, {20, 22}), 42u);
  EXPECT_EQ(Call(1, {3}), 9u);
  rt::DllCommandTable& t = rt::TheApp().dll;
  EXPECT_EQ(t.modules[0], t.modules[1]);
  EXPECT_NE(GetModuleHandleA("bindtest.dll"), nullptr);
  rt::ReleaseDllCommands();
  EXPECT_EQ(GetModuleHandleA("bindtest.dll"), nullptr) << "released as often as loaded";
  EXPECT_TRUE(t.modules.empty() && t.addresses.empty() && t.files.empty() && t.names.empty());
}

TEST_F(DllTable, EmptyFileNameSearchesSystemList) {
  Declare({{"", "MessageBoxA"}, {"", "MultiByteToWideChar"}});
  rt::ResolveDllCommand(0);
  rt::ResolveDllCommand(1);
  rt::DllCommandTable& t = rt::TheApp().dll;
  EXPECT_EQ(t.modules[0], GetModuleHandleA("user32.dll"));
  EXPECT_EQ(t.modules[1], GetModuleHandleA("kernel32.dll"));
  EXPECT_EQ(t.addresses[0], reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxA")));
}

// A directory of its own under the temporary directory, removed with its files at the end.
struct ScratchDirectory {
  std::string path;
  explicit ScratchDirectory(const char* name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path = std::string(temp) + name + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path.c_str(), nullptr);
  }
  void Put(const char* source, const char* name) const {
    CopyFileA((TestDirectory() + "\\" + source).c_str(), (path + "\\" + name).c_str(), FALSE);
  }
  ~ScratchDirectory() {
    DeleteFileA((path + "\\order.dll").c_str());
    RemoveDirectoryA(path.c_str());
  }
};

TEST_F(DllTable, RelativeNamesSearchProgramThenModuleDirectoryThenSystem) {
  ScratchDirectory programDir("bindprog"), moduleDir("bindmod"), emptyDir("bindnone");
  programDir.Put("bindtest.dll", "order.dll");      // Triple gives 3a
  moduleDir.Put("bindtest_alt.dll", "order.dll");   // Triple gives 4a
  rt::RuntimeApp& app = rt::TheApp();
  auto bind = [&](const char* programDirectory, const std::string& moduleDirectory, const char* file) {
    Declare({{file, "Triple"}});
    app.paths.programDirectory = programDirectory;
    app.paths.moduleDirectory = moduleDirectory;
    uint32_t result = Call(0, {10});
    rt::ReleaseDllCommands();
    return result;
  };
  EXPECT_EQ(bind(programDir.path.c_str(), moduleDir.path + "\\", "order.dll"), 30u);
  EXPECT_EQ(bind(emptyDir.path.c_str(), moduleDir.path + "\\", "order.dll"), 40u);
  // Neither directory has it: the system's own search finds bindtest.dll beside this program.
  EXPECT_EQ(bind(emptyDir.path.c_str(), emptyDir.path + "\\", "bindtest.dll"), 30u);
  // An empty module directory is skipped.
  EXPECT_EQ(bind(programDir.path.c_str(), "", "order.dll"), 30u);
  // A name with a drive letter is loaded only as given.
  EXPECT_EQ(bind(programDir.path.c_str(), "", (moduleDir.path + "\\order.dll").c_str()), 40u);
  // A library of that name the process has loaded already is the one that binds, though the
  // program's directory holds another file of the name; its own reference outlives the binding.
  HMODULE loaded = LoadLibraryA((moduleDir.path + "\\order.dll").c_str());
  ASSERT_NE(nullptr, loaded);
  EXPECT_EQ(bind(programDir.path.c_str(), "", "order.dll"), 40u);
  EXPECT_EQ(loaded, GetModuleHandleA("order.dll"));
  FreeLibrary(loaded);
  EXPECT_EQ(nullptr, GetModuleHandleA("order.dll"));
}

}  // namespace
