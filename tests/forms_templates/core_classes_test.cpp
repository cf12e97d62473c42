// The core library's data-type table as the runtime resolves it: 51 entries, the window, the
// edit box and the button in their class positions with their flags, every other entry empty.
#include <gtest/gtest.h>

#include <cstring>

#include "commands/commands.h"
#include "forms/unit_class.h"
#include "runtime/interface/unit_records.h"

namespace {

TEST(CoreDataTypes, HoldTheThreeClassesOfTheProgram) {
  ASSERT_EQ(51u, kCoreLibraryInfo.typeCount);
  const auto* table = static_cast<const UnitClassInfo*>(kCoreLibraryInfo.typeTable);
  std::vector<const LibraryInfo*> libraries = {&kCoreLibraryInfo};
  struct Expected {
    uint32_t typeId, flags, properties;
    const char* english;
  } expected[] = {
      {kWindowTypeId, kWindowClassFlags, 32, "Window"},
      {kEditBoxTypeId, kEditBoxClassFlags, 29, "EditBox"},
      {kButtonTypeId, kButtonClassFlags, 14, "Button"},
  };
  for (const Expected& e : expected) {
    const UnitClassInfo* cls = forms::FindUnitClassIn(libraries, e.typeId);
    ASSERT_NE(nullptr, cls) << e.english;
    EXPECT_EQ(&table[(e.typeId & 0xFFFF) - 1], cls);
    EXPECT_EQ(e.flags, cls->flags) << e.english;
    EXPECT_EQ(e.properties, cls->propertyCount) << e.english;
    EXPECT_STREQ(e.english, cls->englishName);
    EXPECT_NE(nullptr, forms::UnitOperationEntry(cls, kUnitOpCreate)) << e.english;
    EXPECT_TRUE(ClassRaisesEvents(cls->flags)) << e.english;
  }
  const UnitClassInfo zero{};
  for (uint32_t i = 0; i < 51; ++i) {
    if (i == 0 || i == 4 || i == 10) continue;
    EXPECT_EQ(0, std::memcmp(&zero, &table[i], sizeof zero)) << "entry " << i;
    EXPECT_EQ(nullptr, forms::FindUnitClassIn(libraries, 0x00010000u | (i + 1)));
  }
}

}  // namespace
