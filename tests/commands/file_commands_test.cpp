// Numbered memory files (line reading, text writing, the end test) and disk files.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "commands/memory_file.h"
#include "tests/commands/test_runtime.h"

using namespace testrt;

namespace {

class MemoryFiles : public LeakCheckedTest {
 protected:
  void SetUp() override {
    LeakCheckedTest::SetUp();
    file_ = Call(kCmdOpenMemoryFile, {}).intValue;
    ASSERT_NE(file_, 0);
  }
  void TearDown() override {
    Call(kCmdCloseFile, {Int(file_)});
    LeakCheckedTest::TearDown();
  }
  // Puts raw bytes into the file and rewinds it (texts cannot carry a zero byte).
  void Fill(const std::string& bytes) {
    corelib::MemoryFile* f = corelib::MemoryFile::Find(file_);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_EQ(Call(kCmdSeekToFileStart, {Int(file_)}).intValue, 1);
  }
  std::optional<std::string> Line() { return TakeText(Call(kCmdReadLine, {Int(file_)})); }
  bool AtEnd(std::optional<bool> textMode = {}) {
    return Call(kCmdIsEndOfFile, {Int(file_), textMode ? Bool(*textMode) : Omitted()}).intValue;
  }
  uint32_t Position() { return corelib::MemoryFile::Find(file_)->Position(); }

  int32_t file_ = 0;
};

TEST_F(MemoryFiles, ReadLineEndsAtLfAndDropsOneCr) {
  Fill("ab\r\ncd");
  EXPECT_FALSE(AtEnd());
  EXPECT_EQ(Line(), "ab");
  EXPECT_EQ(Line(), "cd");
  EXPECT_TRUE(AtEnd());
  EXPECT_EQ(Line(), std::nullopt);
}

// Only LF ends a line: a CR elsewhere stays in it.
TEST_F(MemoryFiles, CrWithoutLfStaysInTheLine) {
  Fill("a\rb\r\r\nc\n\n");
  EXPECT_EQ(Line(), "a\rb\r");
  EXPECT_EQ(Line(), "c");
  EXPECT_EQ(Line(), std::nullopt);  // the empty line between the two LFs
  EXPECT_TRUE(AtEnd());
}

TEST_F(MemoryFiles, EndMarkStaysUnreadForTheTextModeTest) {
  Fill(
      "ab\x1A"
      "cd");
  EXPECT_EQ(Line(), "ab");
  EXPECT_EQ(Position(), 2u);
  EXPECT_TRUE(AtEnd(true));
  EXPECT_FALSE(AtEnd(false));
  EXPECT_FALSE(AtEnd());
  EXPECT_EQ(Position(), 2u);  // the text-mode test reads and seeks back
}

TEST_F(MemoryFiles, ZeroByteEndsALineLikeTheEndMark) {
  Fill(std::string("ab\0cd", 5));
  EXPECT_EQ(Line(), "ab");
  EXPECT_EQ(Position(), 2u);
  EXPECT_TRUE(AtEnd(true));
}

// A reader that tests the end without text mode must still reach the end: a read that starts
// at 0x1A or 0x00 consumes that byte instead of returning at the same place for ever.
TEST_F(MemoryFiles, ReaderWithoutTextModeMovesPastEndMarks) {
  Fill(
      std::string("ab\x1A"
                  "cd\0\0ef",
                  9));
  std::vector<std::string> lines;
  for (int guard = 0; !AtEnd(false) && guard < 20; ++guard) lines.push_back(Line().value_or(""));
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "", "cd", "", "", "ef"}));
}

// Lines longer than one 512-byte read, with a two-byte character across every read boundary,
// come back whole.
TEST_F(MemoryFiles, LongLinesKeepCharactersAcrossReads) {
  std::string line(1500, 'x');
  for (size_t at : {511u, 1023u}) {
    line[at] = '\xB0';
    line[at + 1] = '\xA1';
  }
  Fill(line + "\r\n" + "tail" + std::string(600, 'y') + "\x1A" + "rest");
  EXPECT_EQ(Line(), line);
  EXPECT_EQ(Line(), "tail" + std::string(600, 'y'));
  EXPECT_TRUE(AtEnd(true));
}

// CR as the last byte of the first read, LF as the first of the second.
TEST_F(MemoryFiles, TerminatorRightAfterAReadBoundary) {
  std::string first(511, 'a');
  Fill(first + "\r\n" + "b");
  EXPECT_EQ(Line(), first);
  EXPECT_EQ(Line(), "b");
}

TEST_F(MemoryFiles, FirstByteBeforeATerminatorStaysInTheLine) {
  // A first byte followed by LF is a lone byte of the line; the LF still ends it.
  Fill("a\xB0\nb\xB0");
  EXPECT_EQ(Line(), "a\xB0");
  EXPECT_EQ(Line(), "b\xB0");
}

TEST_F(MemoryFiles, WriteTextWritesTextFormsAtThePosition) {
  ByteSet bytes("zz");
  EXPECT_EQ(Call(kCmdWriteText, {Int(file_), Int(1), Txt("x"), bytes.Arg(), Txt("")}).intValue, 1);
  EXPECT_EQ(Call(kCmdWriteText, {Int(file_), MakeArg(TAG_BOOL, 1)}).intValue, 1);
  Call(kCmdSeekToFileStart, {Int(file_)});
  EXPECT_EQ(Line(), "1x真");
  Call(kCmdSeekToFileStart, {Int(file_)});
  EXPECT_EQ(Call(kCmdWriteText, {Int(file_), Txt("Y")}).intValue, 1);
  Call(kCmdSeekToFileStart, {Int(file_)});
  EXPECT_EQ(Line(), "Yx真");
}

TEST_F(MemoryFiles, LargeWritesGrowTheBuffer) {
  std::string chunk(700, 'q');
  for (int i = 0; i < 20; ++i) Call(kCmdWriteText, {Int(file_), Txt(chunk)});
  Call(kCmdSeekToFileStart, {Int(file_)});
  EXPECT_EQ(Line()->size(), 14000u);
}

TEST_F(MemoryFiles, UnknownNumbersGetTheFailureValue) {
  for (int32_t bad : {0, 12345, file_ + 4}) {
    EXPECT_EQ(Call(kCmdReadLine, {Int(bad)}).text, nullptr);
    EXPECT_EQ(Call(kCmdWriteText, {Int(bad), Txt("x")}).intValue, 0);
    EXPECT_EQ(Call(kCmdSeekToFileStart, {Int(bad)}).intValue, 0);
    EXPECT_EQ(Call(kCmdIsEndOfFile, {Int(bad)}).intValue, 1);
    Call(kCmdCloseFile, {Int(bad)});
  }
  // A registered object of another kind is not this library's to touch.
  RegisterKey(0x1234, 1);
  EXPECT_EQ(Call(kCmdIsEndOfFile, {Int(0x1234)}).intValue, 1);
  Call(kCmdCloseFile, {Int(0x1234)});
  EXPECT_EQ(RequestCount(kSvcKeyRemove), 0);
}

TEST(MemoryFileLifetime, CloseTwiceDoesNothing) {
  Attach();
  int32_t live = LiveBlocks();
  int32_t f = Call(kCmdOpenMemoryFile, {}).intValue;
  Call(kCmdWriteText, {Int(f), Txt("abc")});
  Call(kCmdCloseFile, {Int(f)});
  EXPECT_EQ(LiveBlocks(), live);
  Call(kCmdCloseFile, {Int(f)});
  EXPECT_EQ(RequestCount(kSvcKeyRemove), 1);
  EXPECT_EQ(LiveBlocks(), live);
}

// Disk files in a fresh directory of the test prefix.
class DiskFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    Attach();
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    dir_ = std::string(tmp) + "commands_disk_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
    path_ = dir_ + "\\out.bin";
  }
  void TearDown() override {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(dir_.c_str());
  }
  std::string Contents() {
    std::string s;
    HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buf[256];
    DWORD got;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) s.append(buf, got);
    CloseHandle(h);
    return s;
  }
  std::string dir_, path_;
};

TEST_F(DiskFiles, WriteToFileWritesEveryByteSetAndReplaces) {
  ByteSet a("abc"), none(""), b("de");
  EXPECT_EQ(Call(kCmdWriteToFile, {Txt(path_), a.Arg(), none.Arg(), b.Arg()}).intValue, 1);
  EXPECT_EQ(Contents(), "abcde");
  EXPECT_EQ(Call(kCmdWriteToFile, {Txt(path_), b.Arg()}).intValue, 1);
  EXPECT_EQ(Contents(), "de");
  EXPECT_EQ(Call(kCmdWriteToFile, {Txt(path_)}).intValue, 1);
  EXPECT_EQ(Contents(), "");
}

TEST_F(DiskFiles, WriteToFileFailures) {
  ByteSet a("abc");
  EXPECT_EQ(Call(kCmdWriteToFile, {Txt(""), a.Arg()}).intValue, 0);
  EXPECT_EQ(Call(kCmdWriteToFile, {Txt(dir_), a.Arg()}).intValue, 0);  // a directory
  EXPECT_EQ(Call(kCmdWriteToFile, {Txt(dir_ + "\\no\\such\\x"), a.Arg()}).intValue, 0);
}

TEST_F(DiskFiles, FileExistsMatchesFilesDirectoriesAndPatterns) {
  EXPECT_EQ(Call(kCmdFileExists, {Txt(path_)}).intValue, 0);
  ByteSet a("x");
  Call(kCmdWriteToFile, {Txt(path_), a.Arg()});
  EXPECT_EQ(Call(kCmdFileExists, {Txt(path_)}).intValue, 1);
  EXPECT_EQ(Call(kCmdFileExists, {Txt(dir_)}).intValue, 1);
  EXPECT_EQ(Call(kCmdFileExists, {Txt(dir_ + "\\*.bin")}).intValue, 1);
  EXPECT_EQ(Call(kCmdFileExists, {Txt("")}).intValue, 0);
}

TEST_F(DiskFiles, SetFileAttributesKeepsOnlyTheFileBits) {
  ByteSet a("x");
  Call(kCmdWriteToFile, {Txt(path_), a.Arg()});
  // 0x12 asks for hidden and directory; only hidden may reach the file.
  EXPECT_EQ(Call(kCmdSetFileAttributes, {Txt(path_), Int(0x12)}).intValue, 1);
  DWORD attributes = GetFileAttributesA(path_.c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Call(kCmdSetFileAttributes, {Txt(dir_ + "\\missing"), Int(2)}).intValue, 0);
}

}  // namespace
