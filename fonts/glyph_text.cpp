#include "glyph_text.h"

#include <algorithm>

#include "font_engine_face.h"
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

namespace {

// A damaged or hostile table can make neither the list nor the work grow without end, nor a glyph's text.
constexpr std::size_t kMostSubstitutions = 1u << 20;
constexpr std::size_t kMostReads = 1u << 25;
constexpr std::size_t kMostCharacters = 32;
constexpr int kMostSteps = 16;

// Big-endian reads that answer 0 past the end and say so.
class TableReader {
 public:
  TableReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint16_t U16(std::size_t at) {
    if (at > size_ || size_ - at < 2 || ++reads_ > kMostReads) {
      damaged = true;
      return 0;
    }
    return static_cast<std::uint16_t>(data_[at] << 8 | data_[at + 1]);
  }
  std::uint32_t U32(std::size_t at) { return std::uint32_t{U16(at)} << 16 | U16(at + 2); }
  bool damaged = false;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t reads_ = 0;
};

// The glyphs of a coverage table, in coverage order.
std::vector<std::uint16_t> Coverage(TableReader& in, std::size_t at) {
  std::vector<std::uint16_t> glyphs;
  const std::uint16_t format = in.U16(at);
  const std::uint16_t count = in.U16(at + 2);
  if (format == 1) {
    for (std::uint16_t i = 0; i < count && !in.damaged; ++i) glyphs.push_back(in.U16(at + 4 + 2 * std::size_t{i}));
  } else if (format == 2) {
    std::size_t covered = 0;
    for (std::uint16_t i = 0; i < count && !in.damaged; ++i) {
      const std::size_t record = at + 4 + 6 * std::size_t{i};
      const std::uint16_t first = in.U16(record), last = in.U16(record + 2), index = in.U16(record + 4);
      if (last < first) continue;
      // Ranges cover each glyph once at most: more than every glyph id is damage.
      covered += last - first + 1u;
      if (covered > 0x10000) {
        in.damaged = true;
        break;
      }
      if (glyphs.size() < std::size_t{index} + (last - first) + 1u) glyphs.resize(std::size_t{index} + (last - first) + 1u);
      for (std::uint32_t g = first; g <= last; ++g) glyphs[index + (g - first)] = static_cast<std::uint16_t>(g);
    }
  }
  return glyphs;
}

class SubstitutionReader {
 public:
  SubstitutionReader(const std::uint8_t* data, std::size_t size) : in_(data, size) {}

  std::vector<GlyphSubstitution> Read() {
    const std::size_t list = in_.U16(8);
    const std::uint16_t lookups = in_.U16(list);
    for (std::uint16_t l = 0; l < lookups && !Done(); ++l) {
      const std::size_t lookup = list + in_.U16(list + 2 + 2 * std::size_t{l});
      std::uint16_t type = in_.U16(lookup);
      const std::uint16_t subtables = in_.U16(lookup + 4);
      for (std::uint16_t s = 0; s < subtables && !Done(); ++s) {
        std::size_t at = lookup + in_.U16(lookup + 6 + 2 * std::size_t{s});
        if (type == 7) {
          const std::uint16_t inner = in_.U16(at + 2);
          at += in_.U32(at + 4);
          Subtable(inner, at);
        } else {
          Subtable(type, at);
        }
      }
    }
    return std::move(out_);
  }

 private:
  bool Done() const { return in_.damaged || out_.size() >= kMostSubstitutions; }

  void Add(std::uint16_t output, std::vector<std::uint16_t> inputs) {
    if (out_.size() < kMostSubstitutions) out_.push_back({output, std::move(inputs)});
  }

  void Subtable(std::uint16_t type, std::size_t at) {
    if (type == 0 || (type > 4 && type != 8)) return;  // contextual lookups call the others
    const std::uint16_t format = in_.U16(at);
    const std::vector<std::uint16_t> covered = Coverage(in_, at + in_.U16(at + 2));
    switch (type) {
      case 1:
        for (std::size_t i = 0; i < covered.size() && !Done(); ++i) {
          if (format == 1)
            Add(static_cast<std::uint16_t>(covered[i] + in_.U16(at + 4)), {covered[i]});
          else if (format == 2 && i < in_.U16(at + 4))
            Add(in_.U16(at + 6 + 2 * i), {covered[i]});
        }
        break;
      case 2:  // a sequence stands for its input through its first glyph
      case 3:  // each alternate stands for its input
        for (std::size_t i = 0; i < covered.size() && i < in_.U16(at + 4) && !Done(); ++i) {
          const std::size_t set = at + in_.U16(at + 6 + 2 * i);
          const std::uint16_t count = in_.U16(set);
          for (std::uint16_t g = 0; g < (type == 2 ? std::min<std::uint16_t>(count, 1) : count) && !Done(); ++g)
            Add(in_.U16(set + 2 + 2 * std::size_t{g}), {covered[i]});
        }
        break;
      case 4:
        for (std::size_t i = 0; i < covered.size() && i < in_.U16(at + 4) && !Done(); ++i) {
          const std::size_t set = at + in_.U16(at + 6 + 2 * i);
          const std::uint16_t count = in_.U16(set);
          for (std::uint16_t k = 0; k < count && !Done(); ++k) {
            const std::size_t ligature = set + in_.U16(set + 2 + 2 * std::size_t{k});
            const std::uint16_t components = in_.U16(ligature + 2);
            std::vector<std::uint16_t> inputs{covered[i]};
            for (std::uint16_t c = 1; c < components && !in_.damaged; ++c)
              inputs.push_back(in_.U16(ligature + 4 + 2 * std::size_t{c - 1u}));
            Add(in_.U16(ligature), std::move(inputs));
          }
        }
        break;
      case 8: {
        std::size_t p = at + 4;
        p += 2 + 2 * std::size_t{in_.U16(p)};  // backtrack coverages
        p += 2 + 2 * std::size_t{in_.U16(p)};  // lookahead coverages
        const std::uint16_t count = in_.U16(p);
        for (std::size_t i = 0; i < covered.size() && i < count && !Done(); ++i) Add(in_.U16(p + 2 + 2 * i), {covered[i]});
        break;
      }
      default: break;
    }
  }

  TableReader in_;
  std::vector<GlyphSubstitution> out_;
};

}  // namespace

std::vector<GlyphSubstitution> ReadGsubSubstitutions(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 10) return {};
  return SubstitutionReader(data, size).Read();
}

GlyphText::GlyphText(const std::unordered_map<std::uint32_t, std::vector<char32_t>>& mapped,
                     const std::vector<GlyphSubstitution>& substitutions) {
  std::unordered_map<std::uint32_t, char32_t> lastResort;
  for (const auto& [glyph, codes] : mapped) {
    char32_t best = 0, compatibility = 0;
    for (const char32_t code : codes) {
      char32_t& slot = IsCompatibilityCharacter(code) ? compatibility : best;
      if (slot == 0 || code < slot) slot = code;
    }
    if (best != 0)
      text_[glyph] = std::u32string(1, best);
    else if (compatibility != 0)
      lastResort[glyph] = compatibility;
  }
  // Each step gives the glyphs whose inputs all had their characters before it.
  for (int step = 0; step < kMostSteps; ++step) {
    std::unordered_map<std::uint32_t, std::u32string> found;
    for (const GlyphSubstitution& s : substitutions) {
      if (text_.contains(s.output) || found.contains(s.output)) continue;
      std::u32string joined;
      bool complete = !s.inputs.empty();
      for (const std::uint16_t input : s.inputs) {
        const auto known = text_.find(input);
        if (known == text_.end() || joined.size() + known->second.size() > kMostCharacters) {
          complete = false;
          break;
        }
        joined += known->second;
      }
      if (complete) found.emplace(s.output, std::move(joined));
    }
    if (found.empty()) break;
    text_.merge(found);
  }
  for (const auto& [glyph, code] : lastResort) text_.try_emplace(glyph, 1, code);
}

GlyphText GlyphText::OfFont(const CPDF_Font& font) {
  std::unordered_map<std::uint32_t, std::vector<char32_t>> mapped;
  std::vector<GlyphSubstitution> substitutions;
  if (const FreeTypeFace* engine = EngineFaceOf(font)) {
    FT_Face face = engine->Face();
    FT_UInt glyph = 0;
    for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0; code = FT_Get_Next_Char(face, code, &glyph)) {
      if (code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF))
        mapped[glyph].push_back(static_cast<char32_t>(code));
    }
    FT_ULong length = 0;
    if (FT_IS_SFNT(face) && FT_Load_Sfnt_Table(face, TTAG_GSUB, 0, nullptr, &length) == 0 && length > 0) {
      std::vector<std::uint8_t> gsub(length);
      if (FT_Load_Sfnt_Table(face, TTAG_GSUB, 0, gsub.data(), &length) == 0)
        substitutions = ReadGsubSubstitutions(gsub.data(), gsub.size());
    }
  }
  return GlyphText(mapped, substitutions);
}

const std::u32string& GlyphText::Of(std::uint32_t glyph) const {
  static const std::u32string kNone;
  const auto found = text_.find(glyph);
  return found == text_.end() ? kNone : found->second;
}
