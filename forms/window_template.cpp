// Reading the window template: the checked cursor, the item walk, unit lists and the
// WindowDirectory. Nothing here trusts a stored length: every position is checked against the
// block it points into before it is used.
#include "forms/window_template.h"

#include <algorithm>
#include <utility>

namespace forms {
namespace {

// Runs one read of the archive and turns its short-read failure into the one template
// failure, keeping the offset where it happened.
template <typename Read>
auto Checked(Read read) -> decltype(read()) {
  try {
    return read();
  } catch (const fw::ArchiveError& e) {
    throw TemplateError(e.offset);
  }
}

// Position just past the zero terminator of the text at `pos`, or 0 when the item ends first.
uint32_t PastText(const uint8_t* data, uint32_t length, uint32_t pos) {
  if (pos >= length) return 0;
  const void* end = std::memchr(data + pos, 0, length - pos);
  if (!end) return 0;
  return static_cast<uint32_t>(static_cast<const uint8_t*>(end) - data) + 1;
}

// A stored handler word becomes an address: 0xFFFFFFFF (no handler) becomes 0.
uint32_t Relocate(uint32_t stored, uintptr_t codeBase) {
  return stored == kNoHandlerOffset ? 0 : stored + static_cast<uint32_t>(codeBase);
}

}  // namespace

uint32_t TemplateReader::Word() { return Checked([&] { return archive_.ReadWord(); }); }
uint16_t TemplateReader::Short() { return Checked([&] { return archive_.ReadHalf(); }); }
std::string TemplateReader::CountedText() { return Checked([&] { return archive_.ReadCountedText(); }); }
std::vector<uint8_t> TemplateReader::CountedBlock() { return Checked([&] { return archive_.ReadCountedBlock(); }); }
std::string TemplateReader::ZeroText() { return Checked([&] { return archive_.ReadZeroText(); }); }

// Raw bytes are checked against what is left before the vector is sized, so a corrupt
// length cannot ask for a huge allocation.
std::vector<uint8_t> TemplateReader::Raw(uint32_t n) {
  if (n > Remaining()) Fail();
  std::vector<uint8_t> bytes(n);
  if (n) Checked([&] { archive_.ReadBytes(bytes.data(), n); });
  return bytes;
}

// Walks name, comment and S block; then either the menu part (flags, caption, handler) or the
// word list, MousePointerBlock, tag, reserved word, flags, tab order, bindings and the five
// reserved words. Every step checks that the item still holds the bytes it needs; 64-bit sums
// keep stored counts from wrapping.
bool UnitItem::Parse(uint8_t* data, uint32_t length, uint32_t id) {
  *this = UnitItem();
  if (!data || length < kItemNameOffset + 2) return false;
  uint32_t comment = PastText(data, length, kItemNameOffset);
  if (!comment) return false;
  uint32_t s = PastText(data, length, comment);
  if (!s) return false;

  UnitItem item;
  item.data_ = data;
  item.length_ = length;
  item.id_ = id;
  item.comment_ = comment;
  item.s_ = s;

  if (IsMenuItemId(id)) {
    if (uint64_t{s} + kSMenuCaption >= length) return false;
    uint32_t afterCaption = PastText(data, length, s + kSMenuCaption);
    if (!afterCaption || uint64_t{afterCaption} + 4 > length) return false;
    item.menu_ = true;
    item.menuHandler_ = afterCaption;
    item.tag_ = afterCaption - 1;   // the caption's terminator: an empty tag
    item.flags_ = s + kSMenuFlags;
    item.mouse_ = 0;
    item.props_ = length;           // menu items carry no property block
    *this = item;
    return true;
  }

  if (uint64_t{s} + kSList > length) return false;
  uint32_t n = LoadWord(data + s + kSListCount);
  uint64_t mouse = uint64_t{s} + kSList + uint64_t{n} * 4;
  if (mouse + 4 > length) return false;
  int32_t stored = static_cast<int32_t>(LoadWord(data + mouse));
  uint32_t mouseLength = stored > 0 ? static_cast<uint32_t>(stored) : 0;
  uint64_t tag = mouse + 4 + mouseLength;
  if (tag >= length) return false;
  uint32_t afterTag = PastText(data, length, static_cast<uint32_t>(tag));
  if (!afterTag) return false;
  uint64_t flags = uint64_t{afterTag} + 4;   // after the reserved word
  uint64_t bindings = flags + 12;            // flags, tab order, E
  if (bindings > length) return false;
  uint32_t e = LoadWord(data + flags + 8);
  uint64_t props = bindings + uint64_t{e} * 8 + 20;
  if (props > length) return false;

  item.listCount_ = n;
  item.mouse_ = static_cast<uint32_t>(mouse);
  item.mouseLength_ = mouseLength;
  item.tag_ = static_cast<uint32_t>(tag);
  item.flags_ = static_cast<uint32_t>(flags);
  item.bindings_ = static_cast<uint32_t>(bindings);
  item.bindingCount_ = e;
  item.props_ = static_cast<uint32_t>(props);
  *this = item;
  return true;
}

EventBinding UnitItem::Binding(uint32_t i) const {
  if (i >= bindingCount_) return {0, 0};
  const uint8_t* p = data_ + bindings_ + 8 * i;
  return {static_cast<int32_t>(LoadWord(p)), LoadWord(p + 4)};
}

// Writes the handler word of binding `i` in place (relocation); other bindings are untouched.
void UnitItem::SetBindingHandler(uint32_t i, uint32_t handler) {
  if (i < bindingCount_) StoreWord(data_ + bindings_ + 8 * i + 4, handler);
}

// The first binding of `event` decides, as the dispatcher looks it up; a menu item has one
// handler for its one event.
uint32_t UnitItem::HandlerFor(int32_t event) const {
  if (menu_) return MenuHandler();
  for (uint32_t i = 0; i < bindingCount_; ++i) {
    EventBinding b = Binding(i);
    if (b.event == event) return b.handler;
  }
  return 0;
}

// Checks the id and offset tables and every item; items must follow each other from the end
// of the offset table without gaps, as the template stores them, so that resizing one item
// moves exactly the items after it.
bool UnitList::Assign(std::vector<uint8_t> block, uint32_t count) {
  block_.clear();
  count_ = 0;
  uint64_t tables = uint64_t{count} * 8;
  if (tables > block.size()) return false;
  uint64_t expected = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = LoadWord(block.data() + 4 * (count + i));
    if (offset != expected) return false;
    uint64_t at = tables + offset;
    if (at + 4 > block.size()) return false;
    uint32_t length = LoadWord(block.data() + at);
    if (at + 4 + length > block.size()) return false;
    UnitItem item;
    uint32_t id = LoadWord(block.data() + 4 * i);
    if (!item.Parse(block.data() + at + 4, length, id)) return false;
    expected = uint64_t{offset} + 4 + length;
    if (expected > 0xFFFFFFFFu) return false;
  }
  block_ = std::move(block);
  count_ = count;
  return true;
}

// The id table is the first C words of the block.
uint32_t UnitList::IdAt(uint32_t index) const {
  return index < count_ ? LoadWord(block_.data() + 4 * index) : 0;
}

// The offset table follows the ids; offsets count from its end.
uint32_t UnitList::OffsetAt(uint32_t index) const {
  return LoadWord(block_.data() + 4 * (count_ + index));
}

// Linear scan from index 0; the first match wins. Ids with an empty serial or type nibble
// never match, so 0 and stray words cannot find an item.
int32_t UnitList::IndexOf(uint32_t id) const {
  if (!IsLookupUnitId(id)) return -1;
  for (uint32_t i = 0; i < count_; ++i)
    if (IdAt(i) == id) return static_cast<int32_t>(i);
  return -1;
}

// A fresh view of item `index`. Assign() checked every item, so the walk cannot fail here;
// it is repeated rather than cached because edits move the items.
UnitItem UnitList::ItemAt(uint32_t index) {
  UnitItem item;
  if (index >= count_) return item;
  uint8_t* at = block_.data() + 8 * count_ + OffsetAt(index);
  item.Parse(at + 4, LoadWord(at), IdAt(index));
  return item;
}

UnitItem UnitList::ItemById(uint32_t id) {
  int32_t index = IndexOf(id);
  return index < 0 ? UnitItem() : ItemAt(static_cast<uint32_t>(index));
}

// Menu items have no object or cursor: their words at S+0 and S+20 are left alone.
std::vector<UnitSlots> UnitList::TakeSlots() {
  std::vector<UnitSlots> slots(count_);
  for (uint32_t i = 0; i < count_; ++i) {
    UnitItem item = ItemAt(i);
    if (!item || item.IsMenuItem()) continue;
    slots[i] = {item.Object(), item.Cursor()};
    item.SetObject(nullptr);
    item.SetCursor(nullptr);
  }
  return slots;
}

void UnitList::PutSlots(const std::vector<UnitSlots>& slots) {
  for (uint32_t i = 0; i < count_ && i < slots.size(); ++i) {
    UnitItem item = ItemAt(i);
    if (!item || item.IsMenuItem()) continue;
    item.SetObject(slots[i].object);
    item.SetCursor(slots[i].cursor);
  }
}

// The list's slots first; menu items keep no slots, a parked instance its own by item index.
UnitSlots InstanceUnits::SlotsAt(uint32_t index) const {
  UnitList& list = record_->units;
  if (window_ == nullptr || list.IsMenuItemAt(index)) return UnitSlots();
  if (UnitItem windowItem = list.ItemAt(0); windowItem && windowItem.Object() == window_) {
    UnitItem item = list.ItemAt(index);
    return item ? UnitSlots{item.Object(), item.Cursor()} : UnitSlots();
  }
  for (const WindowRecord::ParkedInstance& instance : record_->parked)
    if (instance.window == window_) return index < instance.slots.size() ? instance.slots[index] : UnitSlots();
  return UnitSlots();
}

// The instance in the list's slots is the one whose object item 0 holds (none while nothing is
// loaded).
std::vector<InstanceUnits> InstanceUnits::AllOf(WindowRecord& record) {
  UnitItem windowItem = record.units.ItemAt(0);
  std::vector<InstanceUnits> all{InstanceUnits(record, windowItem ? windowItem.Object() : nullptr)};
  for (const WindowRecord::ParkedInstance& instance : record.parked) all.emplace_back(record, instance.window);
  return all;
}

// Every handler word of every item: the binding list of ordinary items, the single word
// after the caption of menu items. Event numbers stay as they are.
void UnitList::RelocateHandlers(uintptr_t codeBase) {
  for (uint32_t i = 0; i < count_; ++i) {
    UnitItem item = ItemAt(i);
    if (!item) continue;
    if (item.IsMenuItem()) {
      item.SetMenuHandler(Relocate(item.MenuHandler(), codeBase));
      continue;
    }
    for (uint32_t b = 0; b < item.BindingCount(); ++b)
      item.SetBindingHandler(b, Relocate(item.Binding(b).handler, codeBase));
  }
}

// Replaces `oldLength` bytes at `itemOffset` inside item `index` with `bytes`, then fixes the
// item's length word and the offsets of the items stored after it.
bool UnitList::ReplaceRange(uint32_t index, uint32_t itemOffset, uint32_t oldLength,
                            const uint8_t* bytes, uint32_t newLength) {
  if (index >= count_) return false;
  uint32_t offset = OffsetAt(index);
  size_t at = 8 * size_t{count_} + offset;
  uint32_t length = LoadWord(block_.data() + at);
  if (uint64_t{itemOffset} + oldLength > length) return false;
  size_t start = at + 4 + itemOffset;
  block_.erase(block_.begin() + start, block_.begin() + start + oldLength);
  block_.insert(block_.begin() + start, bytes, bytes + newLength);
  int64_t delta = int64_t{newLength} - int64_t{oldLength};
  StoreWord(block_.data() + at, static_cast<uint32_t>(length + delta));
  for (uint32_t j = 0; j < count_; ++j) {
    uint32_t other = OffsetAt(j);
    if (other > offset) StoreWord(block_.data() + 4 * (count_ + j), static_cast<uint32_t>(other + delta));
  }
  return true;
}

// The tag (标记) of an ordinary item, zero-terminated in place; null is the empty text.
bool UnitList::ReplaceTag(uint32_t index, const char* tag) {
  UnitItem item = ItemAt(index);
  if (!item || item.IsMenuItem()) return false;
  if (!tag) tag = "";
  uint32_t oldLength = static_cast<uint32_t>(std::strlen(item.Tag())) + 1;
  uint32_t newLength = static_cast<uint32_t>(std::strlen(tag)) + 1;
  return ReplaceRange(index, item.TagOffset(), oldLength,
                      reinterpret_cast<const uint8_t*>(tag), newLength);
}

// The MousePointerBlock of an ordinary item: count word and bytes replace the old ones.
bool UnitList::ReplaceMousePointer(uint32_t index, const uint8_t* bytes, uint32_t length) {
  UnitItem item = ItemAt(index);
  if (!item || item.IsMenuItem()) return false;
  if (!bytes) length = 0;
  std::vector<uint8_t> counted(4 + length);
  StoreWord(counted.data(), length);
  if (length) std::memcpy(counted.data() + 4, bytes, length);
  return ReplaceRange(index, item.MouseOffset(), 4 + item.MousePointerLength(), counted.data(),
                      static_cast<uint32_t>(counted.size()));
}

// The caption of a menu item; its handler word follows the new caption.
bool UnitList::ReplaceMenuCaption(uint32_t index, const char* caption) {
  UnitItem item = ItemAt(index);
  if (!item || !item.IsMenuItem()) return false;
  if (!caption) caption = "";
  uint32_t oldLength = static_cast<uint32_t>(std::strlen(item.MenuCaption())) + 1;
  uint32_t newLength = static_cast<uint32_t>(std::strlen(caption)) + 1;
  return ReplaceRange(index, item.MenuCaptionOffset(), oldLength,
                      reinterpret_cast<const uint8_t*>(caption), newLength);
}

// Linear search of the id half, as the directory stores it; the first match wins.
WindowRecord* WindowDirectory::Find(int32_t windowId) {
  for (size_t i = 0; i < ids_.size(); ++i)
    if (ids_[i] == windowId) return records_[i].get();
  return nullptr;
}

int32_t WindowDirectory::IdOf(const WindowRecord* record) const {
  for (size_t i = 0; i < records_.size(); ++i)
    if (records_[i].get() == record) return ids_[i];
  return 0;
}

WindowRecord* WindowDirectory::At(uint32_t position) {
  return position < records_.size() ? records_[position].get() : nullptr;
}

int32_t WindowDirectory::IdAt(uint32_t position) const {
  return position < ids_.size() ? ids_[position] : 0;
}

void WindowDirectory::Add(int32_t windowId, std::unique_ptr<WindowRecord> record) {
  ids_.push_back(windowId);
  records_.push_back(std::move(record));
}

// Hands a completely read directory over to the runtime's one (start-up, after reading).
void WindowDirectory::TakeFrom(WindowDirectory& other) {
  for (size_t i = 0; i < other.ids_.size(); ++i) Add(other.ids_[i], std::move(other.records_[i]));
  other.Clear();
}

void WindowDirectory::Clear() {
  ids_.clear();
  records_.clear();
}

// Never destroyed: the application object's clean-up may still walk it while static objects
// are being torn down at process exit.
WindowDirectory& TheWindowDirectory() {
  static WindowDirectory* directory = new WindowDirectory;
  return *directory;
}

// Directory: word D, D bytes (W = D / 8 ids, then W record slots whose stored values mean
// nothing). Then W records: two header words, two counted texts, unit count C and the unit
// list as a counted block. The records go into `directory` only when everything was read.
void ReadWindowTemplate(const void* data, uint32_t size, uintptr_t codeBase,
                        WindowDirectory& directory) {
  TemplateReader reader(data, size);
  int32_t d = reader.SignedWord();
  uint32_t count = 0;
  std::vector<uint8_t> ids;
  if (d > 0) {
    ids = reader.Raw(static_cast<uint32_t>(d));
    count = static_cast<uint32_t>(d) / 8;
  }
  WindowDirectory loaded;
  for (uint32_t i = 0; i < count; ++i) {
    auto record = std::make_unique<WindowRecord>();
    record->headerWord1 = reader.Word();
    record->headerWord2 = reader.Word();
    record->text1 = reader.CountedText();
    record->text2 = reader.CountedText();
    uint32_t units = reader.Word();
    uint32_t listStart = reader.Position();
    if (!record->units.Assign(reader.CountedBlock(), units)) throw TemplateError(listStart);
    record->units.RelocateHandlers(codeBase);
    loaded.Add(static_cast<int32_t>(LoadWord(ids.data() + 4 * i)), std::move(record));
  }
  directory.TakeFrom(loaded);
}

}  // namespace forms
