#include "to_unicode.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <string_view>

namespace {

constexpr std::string_view kHeader =
    "/CIDInit /ProcSet findresource begin \n"
    "12 dict begin \n"
    "begincmap \n"
    "/CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>> def \n"
    "/CMapName /Adobe-Identity-UCS def \n"
    "/CMapType 2 def \n"
    "1 begincodespacerange \n"
    "<0000> <FFFF> \n"
    "endcodespacerange \n";
static_assert(kHeader.size() == 250);

constexpr std::string_view kTrailer =
    "endcmap \n"
    "CMapName currentdict /CMap defineresource pop \n"
    "end \n"
    "end \n";
static_assert(kTrailer.size() == 66);

constexpr std::size_t kBlock = 100;

struct Single {
  std::uint32_t cid;
  std::u32string text;
};

struct Range {
  std::uint32_t first;
  std::uint32_t last;
  std::uint32_t unicode;
};

void AppendCode(std::string& out, std::uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value & 0xFFFF));
  out += text;
}

// The hex of a Unicode value: four digits, or eight for a surrogate pair.
void AppendUnits(std::string& out, std::uint32_t unicode) {
  if (unicode > 0xFFFF && unicode <= 0x10FFFF) {
    const std::uint32_t v = unicode - 0x10000;
    AppendCode(out, 0xD800 + (v >> 10));
    AppendCode(out, 0xDC00 + (v & 0x3FF));
  } else {
    AppendCode(out, unicode <= 0xFFFF ? unicode : 0);
  }
}

void AppendUnicode(std::string& out, std::uint32_t unicode) {
  out += '<';
  AppendUnits(out, unicode);
  out += '>';
}

// "<hex>" of characters one after the other, as UTF-16.
void AppendText(std::string& out, const std::u32string& text) {
  out += '<';
  for (const char32_t ch : text) AppendUnits(out, ch);
  out += '>';
}

void AppendCid(std::string& out, std::uint32_t cid, int codeBytes) {
  out += '<';
  if (codeBytes == 1) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(cid & 0xFF));
    out += text;
  } else {
    AppendCode(out, cid);
  }
  out += '>';
}

template <class Item, class WriteItem>
void AppendBlocks(std::string& out, const std::vector<Item>& items, std::string_view name, WriteItem write) {
  for (std::size_t at = 0; at < items.size(); at += kBlock) {
    const std::size_t count = std::min(kBlock, items.size() - at);
    out += std::to_string(count);
    out += " begin";
    out += name;
    out += " \n";
    for (std::size_t i = at; i < at + count; ++i) {
      write(items[i]);
      out += " \n";
    }
    out += "end";
    out += name;
    out += " \n";
  }
}

}  // namespace

std::string BuildToUnicodeCMap(const std::vector<CIDEntry>& all, int codeBytes) {
  // A code keeps the value of its first entry: a glyph shown for two characters cannot read back as both.
  std::vector<CIDEntry> entries;
  std::unordered_set<std::uint32_t> codes;
  entries.reserve(all.size());
  for (std::size_t i = 0; i < all.size(); ++i)
    if (i == 0 || codes.insert(all[i].cid).second) entries.push_back(all[i]);

  std::vector<Single> singles;
  std::vector<Range> ranges;
  std::uint32_t run = 0;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const CIDEntry& e = entries[i];
    if (e.text.size() > 1) {
      // Several characters: a mapping of its own, never part of a range.
      singles.push_back({e.cid, e.text});
      continue;
    }
    if (i + 1 < entries.size()) {
      const CIDEntry& next = entries[i + 1];
      const bool follows = next.text.size() <= 1 && next.unicode == e.unicode + 1 && next.cid == e.cid + 1;
      // A range steps only the last byte of its codes.
      const bool wraps = (e.cid & 0xFF) == 0xFF || (e.unicode & 0xFF) == 0xFF;
      if (follows && !wraps) {
        ++run;
        continue;
      }
    }
    if (run == 0) {
      singles.push_back({e.cid, std::u32string(1, static_cast<char32_t>(e.unicode))});
    } else {
      ranges.push_back({e.cid - run, e.cid, entries[i - run].unicode});
      run = 0;
    }
  }

  std::string out(kHeader);
  if (codeBytes == 1) {
    const auto at = out.find("<0000> <FFFF>");
    out.replace(at, 13, "<00> <FF>");
  }
  AppendBlocks(out, singles, "bfchar", [&](const Single& s) {
    AppendCid(out, s.cid, codeBytes);
    AppendText(out, s.text);
  });
  AppendBlocks(out, ranges, "bfrange", [&](const Range& r) {
    AppendCid(out, r.first, codeBytes);
    AppendCid(out, r.last, codeBytes);
    AppendUnicode(out, r.unicode);
  });
  out += kTrailer;
  return out;
}
