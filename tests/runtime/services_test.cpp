// Library services and the command and event call protocols.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/events.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace {

int32_t Notify(int32_t code, uint32_t a = 0, uint32_t b = 0) { return rt::RuntimeNotify(code, a, b); }

TEST(Services, ConstantAnswersAndNumericConversion) {
  EXPECT_EQ(Notify(SVC_ONE), 1);
  EXPECT_EQ(Notify(SVC_FIVE), 5);
  EXPECT_EQ(Notify(SVC_ZERO), 0);
  EXPECT_EQ(Notify(9999), 0);
  ArgRecord b = MakeArg(TAG_BYTE, 0xFF), s = MakeArg(TAG_SHORT, 0xFFFF);
  ArgRecord l = MakeArg(TAG_LONG, 0x1234567800000005ull), d = DoubleArg(-2.9);
  ArgRecord huge = DoubleArg(1e30);
  EXPECT_EQ(Notify(SVC_TO_INT, reinterpret_cast<uint32_t>(&b)), 255);
  EXPECT_EQ(Notify(SVC_TO_INT, reinterpret_cast<uint32_t>(&s)), -1);
  EXPECT_EQ(Notify(SVC_TO_INT, reinterpret_cast<uint32_t>(&l)), 5);
  EXPECT_EQ(Notify(SVC_TO_INT, reinterpret_cast<uint32_t>(&d)), -2);
  EXPECT_EQ(Notify(SVC_TO_INT, reinterpret_cast<uint32_t>(&huge)), INT32_MIN);
}

TEST(Services, KeyListAndEventBlocking) {
  EXPECT_EQ(Notify(SVC_KEY_LOOKUP, 77), -1);
  Notify(SVC_KEY_ADD, 77, 0xAB);
  Notify(SVC_KEY_ADD, 77, 0x01);  // present: not replaced
  EXPECT_EQ(Notify(SVC_KEY_LOOKUP, 77), 0xAB);
  EXPECT_EQ(Notify(SVC_KEY_REMOVE, 77), 1);
  EXPECT_EQ(Notify(SVC_KEY_REMOVE, 77), 0);

  rt::RuntimeApp& app = rt::TheApp();
  int32_t before = app.eventBlockCount;
  Notify(SVC_BLOCK_EVENTS);
  EXPECT_EQ(app.eventBlockCount, before + 1);
  Notify(SVC_UNBLOCK_EVENTS);
  Notify(SVC_UNBLOCK_EVENTS);
  EXPECT_EQ(app.eventBlockCount, before > 0 ? before - 1 : 0);  // never below 0
}

TEST(Services, PathsWithAndWithoutBackslash) {
  rt::RuntimeApp& app = rt::TheApp();
  app.programDirectory = "C:\\prog";
  app.programFileName = "a.exe";
  char buffer[64];
  Notify(SVC_PATH_INTO_BUFFER, 1, reinterpret_cast<uint32_t>(buffer));
  EXPECT_STREQ(buffer, "C:\\prog\\");
  Notify(SVC_PATH_INTO_BUFFER, 2002, reinterpret_cast<uint32_t>(buffer));
  EXPECT_STREQ(buffer, "a.exe");
  Notify(SVC_PATH_INTO_BUFFER, 5, reinterpret_cast<uint32_t>(buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_STREQ(reinterpret_cast<const char*>(Notify(SVC_PROGRAM_DIRECTORY)), "C:\\prog");
}

TEST(Services, AllocationRequests) {
  void* block = reinterpret_cast<void*>(Notify(SVC_ALLOC, 16, 0));
  ASSERT_NE(block, nullptr);
  block = reinterpret_cast<void*>(Notify(SVC_REALLOC, reinterpret_cast<uint32_t>(block), 4096));
  ASSERT_NE(block, nullptr);
  Notify(SVC_FREE, reinterpret_cast<uint32_t>(block));
  EXPECT_EQ(Notify(SVC_ALLOC, 0x7FFFFFF0, 1), 0);  // plain allocation may fail softly
}

TEST(TypedEvents, ArgumentsWidenByTagAndFlags) {
  uint32_t w[2];
  EXPECT_EQ(rt::WidenTypedArg({0xFFFF, TAG_SHORT, 0}, w), 1u);
  EXPECT_EQ(static_cast<int32_t>(w[0]), -1);
  EXPECT_EQ(rt::WidenTypedArg({0xFFFFFFFFull, TAG_BYTE, 0}, w), 1u);
  EXPECT_EQ(w[0], 255u);
  EXPECT_EQ(rt::WidenTypedArg({0x1122334455667788ull, TAG_DOUBLE, kTypedArgByRef}, w), 1u);
  EXPECT_EQ(w[0], 0x55667788u);
  EXPECT_EQ(rt::WidenTypedArg({0x1122334455667788ull, TAG_DOUBLE, 0}, w), 2u);
  EXPECT_EQ(w[1], 0x11223344u);
  EXPECT_EQ(rt::WidenTypedArg({0x100000002ull, TYPE_CORE_THIRD, 0}, w), 2u);
  EXPECT_EQ(rt::WidenTypedArg({0x100000002ull, TAG_INT, kTypedArgFull8}, w), 2u);
  EXPECT_EQ(rt::WidenTypedArg({0x100000002ull, TAG_INT, 0}, w), 1u);
}

uint64_t __cdecl SumHandler(uint32_t a, uint32_t b, uint32_t c) { return HandlerValue(a + b + c); }

TEST(TypedEvents, HandlerReceivesTheWordsInOrder) {
  uint32_t words[24] = {1, 2, 3};
  uint64_t r = rt::CallHandler(reinterpret_cast<void*>(&SumHandler), words);
  EXPECT_EQ(r >> 32, 1u);
  EXPECT_EQ(static_cast<uint32_t>(r), 6u);
}

}  // namespace
