// Library services and the command and event call protocols.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <iterator>
#include <vector>

#include "runtime/events.h"
#include "runtime/form_hooks.h"
#include "runtime/runtime_app.h"
#include "runtime/services.h"

namespace {

int32_t Notify(int32_t code, uint32_t a = 0, uint32_t b = 0) { return rt::RuntimeNotify(code, a, b); }

TEST(Services, ConstantAnswersAndNumericConversion) {
  EXPECT_EQ(Notify(kSvcOne), 1);
  EXPECT_EQ(Notify(kSvcFive), 5);
  EXPECT_EQ(Notify(kSvcZero), 0);
  for (int32_t unknown : {999, 1015, 1999, 2041, 9999}) EXPECT_EQ(Notify(unknown), 0) << unknown;
  ArgRecord b = MakeArg(TAG_BYTE, 0xFF), s = MakeArg(TAG_SHORT, 0xFFFF);
  ArgRecord l = MakeArg(TAG_LONG, 0x1234567800000005ull), d = DoubleArg(-2.9);
  ArgRecord huge = DoubleArg(1e30);
  EXPECT_EQ(Notify(kSvcToInt, reinterpret_cast<uint32_t>(&b)), 255);
  EXPECT_EQ(Notify(kSvcToInt, reinterpret_cast<uint32_t>(&s)), -1);
  EXPECT_EQ(Notify(kSvcToInt, reinterpret_cast<uint32_t>(&l)), 5);
  EXPECT_EQ(Notify(kSvcToInt, reinterpret_cast<uint32_t>(&d)), -2);
  EXPECT_EQ(Notify(kSvcToInt, reinterpret_cast<uint32_t>(&huge)), INT32_MIN);
}

TEST(Services, KeyListAndEventBlocking) {
  EXPECT_EQ(Notify(kSvcKeyLookup, 77), -1);
  Notify(kSvcKeyAdd, 77, 0xAB);
  Notify(kSvcKeyAdd, 77, 0x01);  // present: not replaced
  EXPECT_EQ(Notify(kSvcKeyLookup, 77), 0xAB);
  EXPECT_EQ(Notify(kSvcKeyRemove, 77), 1);
  EXPECT_EQ(Notify(kSvcKeyRemove, 77), 0);

  rt::RuntimeApp& app = rt::TheApp();
  int32_t before = app.eventBlockCount;
  Notify(kSvcBlockEvents);
  EXPECT_EQ(app.eventBlockCount, before + 1);
  Notify(kSvcUnblockEvents);
  Notify(kSvcUnblockEvents);
  EXPECT_EQ(app.eventBlockCount, before > 0 ? before - 1 : 0);  // never below 0
}

TEST(Services, PathsWithAndWithoutBackslash) {
  rt::RuntimeApp& app = rt::TheApp();
  app.paths.programDirectory = "C:\\prog";
  app.paths.programFileName = "a.exe";
  char buffer[64];
  Notify(kSvcPathIntoBuffer, 1, reinterpret_cast<uint32_t>(buffer));
  EXPECT_STREQ(buffer, "C:\\prog\\");
  Notify(kSvcPathIntoBuffer, 2002, reinterpret_cast<uint32_t>(buffer));
  EXPECT_STREQ(buffer, "a.exe");
  Notify(kSvcPathIntoBuffer, 5, reinterpret_cast<uint32_t>(buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_STREQ(reinterpret_cast<const char*>(Notify(kSvcProgramDirectory)), "C:\\prog");
}

TEST(Services, AllocationRequests) {
  void* block = reinterpret_cast<void*>(Notify(kSvcAlloc, 16, 0));
  ASSERT_NE(block, nullptr);
  block = reinterpret_cast<void*>(Notify(kSvcRealloc, reinterpret_cast<uint32_t>(block), 4096));
  ASSERT_NE(block, nullptr);
  Notify(kSvcFree, reinterpret_cast<uint32_t>(block));
  EXPECT_EQ(Notify(kSvcAlloc, 0x7FFFFFF0, 1), 0);  // plain allocation may fail softly
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

HandlerReturn __cdecl SumHandler(uint32_t a, uint32_t b, uint32_t c) { return HandlerValue(a + b + c); }
// Takes an int and a double (two words) and returns the double scaled by the int.
HandlerReturn __cdecl ScaleHandler(int32_t factor, double value) { return HandlerDouble(factor * value); }
HandlerReturn __cdecl WideHandler() { return HandlerValue8(0x8877665544332211ull); }
HandlerReturn __cdecl SilentHandler(uint32_t) { return kHandlerNoValue; }

TEST(TypedEvents, HandlerReceivesTheWordsInOrder) {
  uint32_t words[24] = {1, 2, 3};
  HandlerReturn r = rt::CallHandler(reinterpret_cast<void*>(&SumHandler), words);
  EXPECT_EQ(r.present, 1u);
  EXPECT_EQ(r.value, 6u);
}

// The typed form keeps all 8 bytes of a returned value; the simple form keeps its low word;
// a handler that returns nothing leaves the caller's preset fields alone.
TEST(TypedEvents, EightByteResultsArriveWhole) {
  TypedEventRecord typed{};
  typed.argCount = 2;
  typed.args[0] = {3, TAG_INT, 0};
  typed.args[1] = {std::bit_cast<uint64_t>(-1.25), TAG_DOUBLE, 0};
  EXPECT_EQ(rt::RunTypedEventHandler(reinterpret_cast<void*>(&ScaleHandler), &typed), 1);
  EXPECT_EQ(typed.resultPresent, 1);
  EXPECT_EQ(std::bit_cast<double>(typed.result), -3.75);

  EXPECT_EQ(rt::RunTypedEventHandler(reinterpret_cast<void*>(&WideHandler), &typed), 1);
  EXPECT_EQ(typed.result, 0x8877665544332211ull);

  EventRecord simple{};
  EXPECT_EQ(rt::RunEventHandler(reinterpret_cast<void*>(&WideHandler), &simple), 1);
  EXPECT_EQ(simple.resultPresent, 1);
  EXPECT_EQ(simple.result, 0x44332211u);

  TypedEventRecord untouched{};
  untouched.result = 0x1234;
  untouched.argCount = 1;
  untouched.args[0] = {7, TAG_INT, 0};
  EXPECT_EQ(rt::RunTypedEventHandler(reinterpret_cast<void*>(&SilentHandler), &untouched), 1);
  EXPECT_EQ(untouched.resultPresent, 0);
  EXPECT_EQ(untouched.result, 0x1234u);
}

// A form runtime that notes which of its request handlers ran, with which arguments, and
// answers 100 + the handler's number; its other hooks answer as a runtime without windows.
struct FormCall {
  int number;
  uint32_t arg1, arg2;
};
std::vector<FormCall> formCalls;

template <int kNumber>
int32_t NotedRequest(uint32_t arg1, uint32_t arg2) {
  formCalls.push_back({kNumber, arg1, arg2});
  return 100 + kNumber;
}

void* FindSum(int32_t windowId, int32_t unitId, int32_t event, int32_t) {
  return windowId == 7 && unitId == 8 && event == 1 ? reinterpret_cast<void*>(&SumHandler) : nullptr;
}

constexpr rt::FormHooks kNotingForms = {
    [](const ProgramInfo&) {}, [] {}, [](int32_t) { return false; }, [] { return false; },
    [](int32_t, int32_t, int32_t, int32_t) { return uint64_t{0}; },
    [](int32_t, int32_t, int32_t, int32_t, uint64_t) {}, FindSum,
    [](uint32_t, std::vector<HWND>&) { return 0; },
    NotedRequest<0>, NotedRequest<1>, NotedRequest<2>, NotedRequest<3>, NotedRequest<4>, NotedRequest<5>,
    NotedRequest<6>, NotedRequest<7>, NotedRequest<8>, NotedRequest<9>, NotedRequest<10>, NotedRequest<11>,
};
static_assert(rt::Complete(kNotingForms));

// Before a form runtime registers, window and unit requests answer 0 and no handler is found;
// once one has, each request code reaches its own handler with both arguments, and events
// find their handlers through it.
TEST(Services, FormRequestsReachTheRegisteredFormRuntime) {
  const int32_t kFormCodes[] = {kSvcWindowDirectory, kSvcIsUnitWindow, kSvcReleaseUnitData,
                                kSvcLoadWindow, kSvcUnitObject, kSvcUnitObjectChecked,
                                kSvcDestroyFormObjects, kSvcUnitFirstWord, kSvcWindowCount,
                                kSvcWindowHandleAt, kSvcMarkMenu, kSvcRebuildMenu};
  EventRecord event{7, 8, 1, 3, {1, 2, 3}};
  for (int32_t code : kFormCodes) EXPECT_EQ(Notify(code, 5, 6), 0) << code;
  EXPECT_EQ(Notify(kSvcFireEvent, reinterpret_cast<uint32_t>(&event)), 0);

  rt::RegisterFormHooks(kNotingForms);
  for (int number = 0; number < static_cast<int>(std::size(kFormCodes)); ++number) {
    formCalls.clear();
    EXPECT_EQ(Notify(kFormCodes[number], 40 + number, 60 + number), 100 + number) << kFormCodes[number];
    ASSERT_EQ(formCalls.size(), 1u) << kFormCodes[number];
    EXPECT_EQ(formCalls[0].number, number);
    EXPECT_EQ(formCalls[0].arg1, 40u + number);
    EXPECT_EQ(formCalls[0].arg2, 60u + number);
  }
  formCalls.clear();
  for (int32_t unanswered : {kSvcFormRequest, kSvcMenuQuery, kSvcUnitRequest}) EXPECT_EQ(Notify(unanswered, 1, 2), 0);
  EXPECT_TRUE(formCalls.empty());
  EXPECT_EQ(Notify(kSvcFireEvent, reinterpret_cast<uint32_t>(&event)), 1);
  EXPECT_EQ(event.result, 6u);
}

// Library types are found by the library and type ranges alone: a type record without a
// UnitInterface (a data type such as a character format) is found like a unit class.
TEST(Services, LibraryTypesByRangeOnly) {
  static const UnitClassInfo kTypes[3] = {
      {"unit", nullptr, {}, 0x44, {}, 0, nullptr, reinterpret_cast<UnitInterfaceFn>(1), {}},
      {"data", nullptr, {}, 0x40, {}, 0, nullptr, nullptr, {}},
      {"plain", nullptr, {}, 0, {}, 0, nullptr, nullptr, {}},
  };
  LibraryInfo first{}, second{};
  second.typeCount = 3;
  second.typeTable = kTypes;
  rt::RuntimeApp& app = rt::TheApp();
  std::vector<const LibraryInfo*> saved = app.libraries;
  app.libraries = {&first, &second, nullptr};
  auto info = [](uint32_t type) { return reinterpret_cast<const UnitClassInfo*>(Notify(kSvcUnitClassInfo, type)); };
  EXPECT_EQ(info(0x00020001), &kTypes[0]);
  EXPECT_EQ(info(0x00020002), &kTypes[1]);
  EXPECT_EQ(info(0x00020003), &kTypes[2]);
  EXPECT_EQ(Notify(kSvcTypeKind, 0x00020001), 2);
  EXPECT_EQ(Notify(kSvcTypeKind, 0x00020002), 1);
  EXPECT_EQ(Notify(kSvcTypeKind, 0x00020003), 0);
  for (uint32_t outside : {0x00020000u, 0x00020004u, 0x00010001u, 0x00030001u, 0x00040001u,
                           0x80000301u, 0x40020001u, 0u}) {
    EXPECT_EQ(info(outside), nullptr) << std::hex << outside;
    EXPECT_EQ(Notify(kSvcTypeKind, outside), 0) << std::hex << outside;
  }
  app.libraries = saved;
}

}  // namespace
