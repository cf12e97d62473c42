// A stand-in for the runtime's service function, so the core commands can be called through
// their real entries (result record, count, argument records) without the whole runtime.
// Heap requests go to the runtime's block store and are counted, so tests can prove that a command
// leaks nothing and that every result block has exactly the size it must have.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "runtime/interface/records.h"
#include "runtime/interface/services.h"

namespace testrt {

// Thrown where the runtime would show its error box and end the program.
struct FatalError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Hands the stand-in to the core library (event 1) and resets its state.
void Attach();
// Blocks currently allocated through the stand-in.
int32_t LiveBlocks();
// Size of a block allocated through the stand-in.
uint32_t BlockSize(const void* block);
// Frees a block handed out by a command.
void FreeBlock(const void* block);

// Number of requests of `code` seen since Attach().
int32_t RequestCount(int32_t code);
// A unit known to service 2007 and the handle that service 1010 gives for it.
void AddUnit(int32_t windowId, int32_t unitId, void* windowHandle);
// Enters a key of the open-file registry with its kind, as another library would.
void RegisterKey(uint32_t key, uint8_t kind);
// The text that service 2003 returns (null: none).
void SetRunDirectory(const char* dir);

// Calls command `id` as CallCoreCommand does: zeroed result record, count, first record.
ArgRecord Call(CoreCommandId id, std::initializer_list<ArgRecord> args);
ArgRecord CallWith(CoreCommandId id, const std::vector<ArgRecord>& args);

// Takes a text result: nullopt for the null (empty) text. Checks that a text block is exactly
// its length plus one, then frees it.
std::optional<std::string> TakeText(const ArgRecord& result);
// The text result as a string ("" for null), freed.
std::string Text(const ArgRecord& result);
// Takes a byte-set result: nullopt for null; checks the header and exact size, then frees.
std::optional<std::string> TakeBytes(const ArgRecord& result);
// Takes a text array: members as strings, with nullopt for null members; frees all.
std::vector<std::optional<std::string>> TakeTextArray(const ArgRecord& result);

// A test of commands that must leave nothing behind: the stand-in is attached before each
// test, and at its end every block a command made was either handed back (and freed by the
// test) or released.
class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Attach();
    live_ = LiveBlocks();
  }
  void TearDown() override { EXPECT_EQ(LiveBlocks(), live_); }

 private:
  int32_t live_ = 0;
};

// A byte set built in a test-owned block (not through the stand-in heap).
class ByteSet {
 public:
  explicit ByteSet(const std::string& bytes);
  ArgRecord Arg() const { return BytesArg(storage_.data()); }

 private:
  std::vector<uint8_t> storage_;
};

inline ArgRecord Int(int32_t v) { return IntArg(v); }
inline ArgRecord Txt(const char* v) { return TextArg(v); }
inline ArgRecord Txt(const std::string& v) { return TextArg(v.c_str()); }
inline ArgRecord Bool(bool v) { return BoolArg(v); }
inline ArgRecord Omitted() { return OmittedArg(); }

}  // namespace testrt
