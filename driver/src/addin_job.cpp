// The add-in job reader: claims the word-processor add-in's hand-over block in shared memory, copies the document's
// structure into the writer's tables and opens the output file for the path the add-in chose.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "handover/handover_block.h"
#include "pdf/doc_writer.h"
#include "pdf/registry_value.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/memoryapi.h"
#include "win/user.h"

namespace {

// A mapped view, unmapped when it goes.
struct MappedView {
  std::byte* base = nullptr;
  ~MappedView() {
    if (base) UnmapViewOfFile(base);
  }
};

}  // namespace

bool CPDF_DocWriter::OpenAddinJob() {
  const HANDLE block = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, handover::kSharedMemoryName);
  if (!block) return false;
  std::optional<handover::Content> content;
  {
    MappedView view{static_cast<std::byte*>(MapViewOfFile(block, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0))};
    MEMORY_BASIC_INFORMATION info{};
    if (!view.base || VirtualQuery(view.base, &info, sizeof info) == 0 || info.RegionSize < handover::kHeaderSize) {
      CloseHandle(block);
      return false;
    }
    // One compare-exchange claims the block, so of two jobs racing for it, in whatever processes, one wins.
    std::atomic_ref<std::uint32_t> taken(
        *reinterpret_cast<std::uint32_t*>(view.base + handover::kTakenFlagOffset));
    std::uint32_t free = 0;
    if (!taken.compare_exchange_strong(free, 1)) {
      CloseHandle(block);
      return false;
    }
    // Every read stays inside the view; a malformed block is dropped and stays taken.
    content = handover::ReadBlock(view.base, info.RegionSize);
  }
  if (!content) {
    CloseHandle(block);
    return false;
  }

  mapping = block;
  addinJob = 1;
  progressWindow = FindWindowW(WC_DIALOG, handover::kStatusCaption);
  for (auto& [name, position] : content->bookmarks)
    namedDests.emplace(name, NamedDestination{position.page, position.y});
  for (auto& item : content->outline)
    outlineItems.push_back(OutlineItem{std::move(item.title), std::move(item.destination), item.parent, item.prev,
                                       item.next, item.first, item.last});
  for (auto& [page, link] : content->links)
    pageLinks.emplace(page, LinkRecord{link.left, link.top, link.right, link.bottom, std::move(link.target),
                                       link.kind});
  totalPages = content->pageCount;

  // The add-in's file is written as any job's: beside it, put in its place only at a complete end. One that cannot be
  // (a folder, a FIFO or a device, one of the machine's own files, the document being printed, which its program
  // holds) is put to the person as any destination is.
  if (!OpenOutput(content->outputPath, CREATE_ALWAYS)) {
    if (!AskForAnotherFile()) {
      // The person gives up: nothing is written, the job is over.
      RecordJobResult(u"FALSE");
      cancelled = 1;
      return true;
    }
    // The ordinary road follows with the job's settings as they are.
    ReleaseAddinTables();
    progressWindow = nullptr;
    return false;
  }
  return true;
}
