// Named destinations, the outline and link annotations from the add-in's tables.
#include <map>

#include "pdf/doc_writer.h"
#include "pdf/tokens.h"

namespace {

// A destination's name or a file's path with every character it has.
std::string WholeString(kq::WStringView text) { return PdfLiteralFromBytes(PdfStringBytes(text)); }

}  // namespace

std::int32_t CPDF_DocWriter::PrintedPageHeightPt() const {
  const bool pageAcross = pageWidthPx > pageHeightPx;
  const bool paperAcross = paperWidthPt > paperHeightPt;
  return pageAcross != paperAcross ? paperWidthPt : paperHeightPt;
}

void CPDF_DocWriter::WritePageLinks(CPDF_Dictionary& page) {
  if (pageLinks.empty()) return;
  const auto pageNumber = static_cast<std::int32_t>(pageObjects.size() + 1);
  const std::int64_t height = PrintedPageHeightPt();
  std::string annots = "[";
  CPDF_Dictionary annotation;
  CPDF_Dictionary action;
  const auto [from, to] = pageLinks.equal_range(pageNumber);
  for (auto it = from; it != to; ++it) {
    const LinkRecord& link = it->second;
    annotation.RemoveAll();
    annotation.SetAt("/Subtype", "/Link");
    if (link.kind == kLinkNamedDest) {
      annotation.SetAt("/Dest", WholeString(link.target));
    } else {
      action.RemoveAll();
      if (link.kind == kLinkUri) {
        action.SetAt("/URI", PdfLiteralFromBytes(PdfUriBytes(link.target)));
        action.SetAt("/S", "/URI");
      } else {
        action.SetAt("/F", WholeString(link.target));
        action.SetAt("/S", "/Launch");
      }
      const auto actionNumber = NewObjectNumber();
      WriteIndirectObject(static_cast<std::int32_t>(actionNumber), action);
      annotation.SetAtReference("/A", actionNumber);
    }
    // Widened, so that no rectangle can overflow while it is flipped.
    std::string rect = "[";
    for (const std::int64_t value : {std::int64_t{link.left}, height - link.bottom, std::int64_t{link.right},
                                     height - link.top}) {
      if (rect.size() > 1) rect += ' ';
      rect += std::to_string(value);
    }
    rect += ']';
    annotation.SetAt("/Rect", rect);
    annotation.SetAt("/Border", "[0 0 0]");
    const auto number = NewObjectNumber();
    WriteIndirectObject(static_cast<std::int32_t>(number), annotation);
    annots += std::to_string(number) + " 0 R ";
  }
  annots += "]";
  page.SetAt("/Annots", annots);
}

void CPDF_DocWriter::WriteOutlinesAndDests(std::uint32_t& namesNumber, std::uint32_t& outlineRootNumber) {
  if (!namedDests.empty()) {
    // Readers look names up in a tree sorted by the strings' bytes; every name keeps its characters, so two names
    // have the same bytes only when they are the same.
    struct Entry {
      std::string literal;
      std::uint32_t pageObject;
      double fitH;
    };
    std::map<std::string, Entry> byBytes;
    const std::int64_t height = PrintedPageHeightPt();
    for (const auto& [name, dest] : namedDests) {
      if (dest.page < 1 || static_cast<std::size_t>(dest.page) > pageObjects.size()) continue;
      std::int64_t fitH = height - dest.y;
      if (fitH < 0 || fitH > height) fitH = 0;
      std::string bytes = PdfStringBytes(name);
      std::string literal = PdfLiteralFromBytes(bytes);
      byBytes.try_emplace(std::move(bytes),
                          Entry{std::move(literal), pageObjects[static_cast<std::size_t>(dest.page) - 1],
                                static_cast<double>(fitH)});
    }
    if (!byBytes.empty()) {
      CPDF_Array names;
      names.Reserve(2 * byBytes.size());
      for (auto& [bytes, entry] : byBytes) {
        names.Add(std::make_unique<CPDF_Literal>(std::move(entry.literal)));
        auto destination = std::make_unique<CPDF_Array>();
        destination->Add(std::make_unique<CPDF_Reference>(entry.pageObject));
        destination->Add(std::make_unique<CPDF_Literal>("/FitH"));
        destination->Add(std::make_unique<CPDF_Number>(entry.fitH));
        names.Add(std::move(destination));
      }
      const auto arrayNumber = NewObjectNumber();
      WriteIndirectObject(static_cast<std::int32_t>(arrayNumber), names);
      CPDF_Dictionary tree;
      tree.SetAtReference("/Names", arrayNumber);
      const auto treeNumber = NewObjectNumber();
      WriteIndirectObject(static_cast<std::int32_t>(treeNumber), tree);
      CPDF_Dictionary dests;
      dests.SetAtReference("/Dests", treeNumber);
      namesNumber = NewObjectNumber();
      WriteIndirectObject(static_cast<std::int32_t>(namesNumber), dests);
    }
  }

  if (!outlineItems.empty()) {
    const auto count = static_cast<std::int64_t>(outlineItems.size());
    // An index outside the table, or one that points an item at itself, counts as absent; the root (0) is only
    // ever a parent.
    auto isItem = [&](std::int32_t index, std::int64_t self) { return index >= 1 && index < count && index != self; };
    auto isParent = [&](std::int32_t index, std::int64_t self) { return index >= 0 && index < count && index != self; };

    const std::uint32_t root = NewObjectNumber();
    CPDF_Dictionary dictionary;
    dictionary.SetAt("/Type", "/Outlines");
    const OutlineItem& top = outlineItems[0];
    if (isItem(top.first, 0)) dictionary.SetAtReference("/First", root + static_cast<std::uint32_t>(top.first));
    if (isItem(top.last, 0)) dictionary.SetAtReference("/Last", root + static_cast<std::uint32_t>(top.last));
    WriteIndirectObject(static_cast<std::int32_t>(root), dictionary);

    for (std::int64_t i = 1; i < count; ++i) {
      const OutlineItem& item = outlineItems[static_cast<std::size_t>(i)];
      dictionary.RemoveAll();
      dictionary.SetAtText("/Title", item.title);
      dictionary.SetAt("/Dest", WholeString(item.destName));
      // An item whose parent is not in the table hangs from the root.
      const std::int32_t parent = isParent(item.parent, i) ? item.parent : 0;
      dictionary.SetAtReference("/Parent", root + static_cast<std::uint32_t>(parent));
      const std::pair<const char*, std::int32_t> links[] = {
          {"/Prev", item.prev}, {"/Next", item.next}, {"/First", item.first}, {"/Last", item.last}};
      for (const auto& [key, index] : links)
        if (isItem(index, i)) dictionary.SetAtReference(key, root + static_cast<std::uint32_t>(index));
      WriteIndirectObject(static_cast<std::int32_t>(NewObjectNumber()), dictionary);
    }
    outlineRootNumber = root;
  }
}
