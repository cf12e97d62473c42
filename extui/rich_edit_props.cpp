#include "extui/rich_edit_props.h"

#include <cstring>

#include "framework/archive.h"
#include "framework/global_memory.h"
#include "framework/memfile.h"

namespace extui {

// Reads through a read-only view of the block and a loading archive, which checks every read
// against the block's length and throws on short data; the exception stays inside this routine.
bool RichEditProps::Load(const void* block, int32_t length) {
  Reset();
  if (!block || length < 1) return true;
  try {
    fw::MemFile file(block, static_cast<uint32_t>(length));
    fw::Archive in(file, fw::Archive::kLoad);
    const int32_t version = static_cast<int32_t>(in.ReadWord());
    if (version > kRichEditBlockVersion) return false;
    contextType = static_cast<int32_t>(in.ReadWord());
    border = static_cast<int32_t>(in.ReadWord());
    backColor = in.ReadWord();
    allowMultiLines = static_cast<int32_t>(in.ReadWord());
    autoNextLine = static_cast<int32_t>(in.ReadWord());
    readOnly = static_cast<int32_t>(in.ReadWord());
    hideSel = static_cast<int32_t>(in.ReadWord());
    maxAllowLength = static_cast<int32_t>(in.ReadWord());
    selStart = static_cast<int32_t>(in.ReadWord());
    selLength = static_cast<int32_t>(in.ReadWord());
    content = in.ReadCountedText();
    return true;
  } catch (const std::exception&) {
    Reset();
    return false;
  }
}

// Writes the fields in their stored order through a storing archive into a growable memory
// file (growth step 4096 bytes); the version is always 1.
std::string RichEditProps::Serialize() const {
  fw::MemFile file(4096);
  {
    fw::Archive out(file, fw::Archive::kStore);
    out.WriteWord(static_cast<uint32_t>(kRichEditBlockVersion));
    out.WriteWord(static_cast<uint32_t>(contextType));
    out.WriteWord(static_cast<uint32_t>(border));
    out.WriteWord(backColor);
    out.WriteWord(static_cast<uint32_t>(allowMultiLines));
    out.WriteWord(static_cast<uint32_t>(autoNextLine));
    out.WriteWord(static_cast<uint32_t>(readOnly));
    out.WriteWord(static_cast<uint32_t>(hideSel));
    out.WriteWord(static_cast<uint32_t>(maxAllowLength));
    out.WriteWord(static_cast<uint32_t>(selStart));
    out.WriteWord(static_cast<uint32_t>(selLength));
    out.WriteCountedText(content);
    out.Close();
  }
  return std::string(reinterpret_cast<const char*>(file.Data()), file.Length());
}

// The block the form runtime keeps while it re-creates a unit: movable, shareable global memory
// of exactly the serialised length.
HGLOBAL RichEditProps::Save(uint32_t* length) const {
  if (length) *length = 0;
  std::string bytes;
  try {
    bytes = Serialize();
  } catch (const std::exception&) {
    return nullptr;
  }
  fw::ScopedGlobal memory = fw::CopyToGlobal(bytes.data(), bytes.size());
  if (memory && length) *length = static_cast<uint32_t>(bytes.size());
  return memory.Release();
}

}  // namespace extui
