// Fuzz target of the hand-over block's reader, the driver's view of what another process put in shared memory: the
// input is the view, exactly as long as the mapping. A block that reads must hold only sound values, and written
// again it must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "handover/handover_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's length, so a read past the view is the sanitizer's to see.
  const std::vector<std::byte> view(reinterpret_cast<const std::byte*>(data),
                                    reinterpret_cast<const std::byte*>(data) + size);
  const auto content = handover::ReadBlock(view.data(), view.size());
  if (!content) return 0;
  if (content->pageCount < 1) std::abort();
  const auto count = static_cast<std::int64_t>(content->outline.size());
  for (std::int64_t i = 0; i < count; ++i) {
    const auto& item = content->outline[static_cast<std::size_t>(i)];
    if (item.parent < -1 || item.parent >= i) std::abort();
    for (std::int32_t index : {item.prev, item.next, item.first, item.last})
      if (index < -1 || index >= count) std::abort();
  }
  handover::BlockWriter writer;
  if (!writer.Start()) return 0;
  handover::WriteContent(writer, *content);
  const auto again = handover::ReadBlock(writer.Data(), writer.Size());
  if (!again || again->bookmarks != content->bookmarks || again->outline != content->outline ||
      again->links != content->links || again->pageCount != content->pageCount ||
      again->outputPath != content->outputPath)
    std::abort();
  return 0;
}
