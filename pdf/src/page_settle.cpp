// A page that ended: its content comes back compressed from the writer's thread and its objects are written.
#include <stdexcept>
#include <string>

#include "pdf/background_flate.h"
#include "pdf/doc_writer.h"

namespace {

// A content buffer up to this size is kept for a later page.
constexpr std::size_t kKeptContentBytes = std::size_t{1} << 20;

}  // namespace

void CPDF_DocWriter::SettlePage() {
  if (!endingPage) return;
  const EndingPage ending = std::move(*endingPage);
  endingPage.reset();
  std::string content;
  std::optional<std::string> compressed = pageFlate->Take(&content);
  // The next page's content grows into this one's room, unless this one was exceptionally large.
  if (content.capacity() <= kKeptContentBytes && spareContent.capacity() < content.capacity()) {
    content.clear();
    spareContent = std::move(content);
  }
  if (!compressed) throw std::runtime_error("Flate compression failed");
  WritePage(ending, *compressed);
}

void CPDF_DocWriter::DropEndingPage() {
  if (!endingPage) return;
  endingPage.reset();
  pageFlate->Take(nullptr);
}

void CPDF_DocWriter::WritePage(const EndingPage& ending, std::string compressed) {
  CPDF_Stream contents;
  contents.Dictionary().SetAt("/Filter", "/FlateDecode");
  contents.Data() = std::move(compressed);
  const auto contentsNumber = NewObjectNumber();
  WriteIndirectObject(static_cast<std::int32_t>(contentsNumber), contents);

  CPDF_Dictionary page;
  WritePageLinks(page);
  page.SetAt("/Type", "/Page");
  page.SetAtReference("/Parent", pagesRootNumber);
  page.SetAtReference("/Contents", contentsNumber);
  page.SetAt("/Resources", ending.resources);
  page.SetAtNumber("/PageIndex", static_cast<double>(pageObjects.size() + 1));
  page.SetAt("/MediaBox", ending.mediaBox);
  const auto pageNumber = NewObjectNumber();
  WriteIndirectObject(static_cast<std::int32_t>(pageNumber), page);
  pageObjects.push_back(pageNumber);
}
