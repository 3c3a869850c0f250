#include "type1_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace t1test {

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
std::string ToText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int MemoryFont::Read(void* context, std::uint32_t offset, void* destination, std::uint32_t length) {
  const auto* font = static_cast<const MemoryFont*>(context);
  if (static_cast<std::uint64_t>(offset) + length > font->bytes.size()) return -1;
  if (static_cast<std::uint64_t>(offset) + length > font->failReadsFrom) return -1;
  if (length) std::memcpy(destination, font->bytes.data() + offset, length);
  return 0;
}

std::uint32_t MemoryFont::Size(void* context) {
  const auto* font = static_cast<const MemoryFont*>(context);
  if (font->claimedSize != 0xFFFFFFFF) return font->claimedSize;
  return static_cast<std::uint32_t>(font->bytes.size());
}

T1Subsetter* Open(T1Subsetter& record, MemoryFont& font) {
  return T1Subsetter_Open(&record, &MemoryFont::Read, &MemoryFont::Size, &font);
}

Bytes Output(const T1Subsetter& record) {
  return Bytes(record.output.get(), record.output.get() + record.outputUsed);
}

Bytes Encrypt(const Bytes& plain, std::uint16_t key) {
  Bytes out;
  std::uint16_t r = key;
  for (std::uint8_t p : plain) {
    const std::uint8_t c = p ^ (r >> 8);
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
    out.push_back(c);
  }
  return out;
}

Bytes Decrypt(const Bytes& cipher, std::uint16_t key) {
  Bytes out;
  std::uint16_t r = key;
  for (std::uint8_t c : cipher) {
    out.push_back(c ^ (r >> 8));
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
  }
  return out;
}

Type1Parts SplitBinaryFont(const Bytes& font) {
  const std::string text = ToText(font);
  std::size_t clearEnd = text.find("eexec");
  if (clearEnd == std::string::npos) throw std::runtime_error("no eexec");
  clearEnd += 5;
  while (text[clearEnd] == '\r' || text[clearEnd] == '\n') ++clearEnd;
  const Bytes plain = Decrypt(Bytes(font.begin() + static_cast<long>(clearEnd), font.end()), 55665);
  const std::string plainText = ToText(plain);
  std::size_t end = plainText.find("closefile");
  if (end == std::string::npos) throw std::runtime_error("no closefile");
  end += 10;  // and its line end
  Type1Parts parts;
  parts.clear = text.substr(0, clearEnd);
  parts.binary.assign(font.begin() + static_cast<long>(clearEnd), font.begin() + static_cast<long>(clearEnd + end));
  parts.trailer = text.substr(clearEnd + end);
  return parts;
}

Bytes ToBinaryForm(const Type1Parts& parts) {
  Bytes out = ToBytes(parts.clear);
  out.insert(out.end(), parts.binary.begin(), parts.binary.end());
  const Bytes trailer = ToBytes(parts.trailer);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

Bytes ToPfa(const Type1Parts& parts, std::size_t digitsPerLine, std::string_view lineEnd) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = parts.clear;
  std::size_t onLine = 0;
  for (std::uint8_t b : parts.binary) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
    onLine += 2;
    if (onLine >= digitsPerLine) {
      text += lineEnd;
      onLine = 0;
    }
  }
  if (onLine) text += lineEnd;
  return ToBytes(text + parts.trailer);
}

Bytes ToPfb(const Type1Parts& parts) {
  Bytes out;
  auto segment = [&out](std::uint8_t type, const Bytes& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    out.insert(out.end(), {0x80, type, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)});
    out.insert(out.end(), data.begin(), data.end());
  };
  segment(1, ToBytes(parts.clear));
  segment(2, parts.binary);
  segment(1, ToBytes(parts.trailer));
  out.insert(out.end(), {0x80, 0x03});
  return out;
}

Charstring& Charstring::N(int v) {
  if (v >= -107 && v <= 107) {
    plain_.push_back(static_cast<std::uint8_t>(v + 139));
  } else if (v >= 108 && v <= 1131) {
    plain_.push_back(static_cast<std::uint8_t>((v - 108) / 256 + 247));
    plain_.push_back(static_cast<std::uint8_t>((v - 108) % 256));
  } else if (v >= -1131 && v <= -108) {
    plain_.push_back(static_cast<std::uint8_t>((-v - 108) / 256 + 251));
    plain_.push_back(static_cast<std::uint8_t>((-v - 108) % 256));
  } else {
    const auto u = static_cast<std::uint32_t>(v);
    plain_.insert(plain_.end(), {255, static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
                                 static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)});
  }
  return *this;
}

Charstring& Charstring::Op(int op) {
  plain_.push_back(static_cast<std::uint8_t>(op));
  return *this;
}

Charstring& Charstring::Escape(int op) {
  plain_.push_back(12);
  plain_.push_back(static_cast<std::uint8_t>(op));
  return *this;
}

Bytes Charstring::Encrypted() const {
  Bytes plain = {0x5A, 0xA5, 0x3C, 0xC3};
  plain.insert(plain.end(), plain_.begin(), plain_.end());
  return Encrypt(plain, 4330);
}

Charstring Triangle(int width, int height) {
  Charstring c;
  c.Hsbw(0, width).Rmoveto(width / 8, 0).Rlineto(width * 3 / 4, 0).Rlineto(-width * 3 / 8, height).Closepath().Endchar();
  return c;
}

Bytes SynthFont::PrivateText() const {
  auto append = [](Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); };
  Bytes out = random;
  append(out, "dup /Private 8 dict dup begin\n");
  append(out, "/" + rd + " {string currentfile exch readstring pop} executeonly def\n");
  append(out, "/" + nd + " {noaccess def} executeonly def\n");
  append(out, "/" + np + " {noaccess put} executeonly def\n");
  append(out, "/BlueValues [] def\n/MinFeature {16 16} def\n/password 5839 def\n");
  const Bytes subr = Charstring().Op(11).Encrypted();  // return
  append(out, "/Subrs 1 array\ndup 0 " + std::to_string(subr.size()) + " " + rd + " ");
  out.insert(out.end(), subr.begin(), subr.end());
  append(out, " " + np + "\n" + nd + "\n");
  const std::uint32_t count = declaredCount.value_or(static_cast<std::uint32_t>(glyphs.size()));
  append(out, "2 index /CharStrings " + std::to_string(count) + " dict dup begin\n");
  for (const SynthGlyph& g : glyphs) {
    append(out, "/" + g.name + " " + std::to_string(g.charstring.size()) + " " + rd + " ");
    out.insert(out.end(), g.charstring.begin(), g.charstring.end());
    append(out, " " + nd + "\n");
  }
  append(out, "end\nend\nreadonly put\nnoaccess put\ndup /FontName get exch definefont pop\n"
              "mark currentfile closefile\n");
  return out;
}

std::string SynthFont::ClearText() const {
  return "%!PS-AdobeFont-1.0: " + fontName + " 001.000\n"
         "%%Title: " + fontName + "\n"
         "11 dict begin\n"
         "/FontInfo 2 dict dup begin\n"
         "/FullName (Synth) readonly def\n"
         "/FamilyName (Synth) readonly def\n"
         "end readonly def\n"
         "/FontName /" + fontName + " def\n"
         "/PaintType 0 def\n"
         "/FontType 1 def\n"
         "/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n"
         "/FontBBox {0 -200 1000 900} readonly def\n" +
         encoding +
         "currentdict end\n"
         "currentfile eexec\n";
}

Type1Parts SynthFont::Parts() const {
  Type1Parts parts;
  parts.clear = ClearText();
  parts.binary = Encrypt(PrivateText(), 55665);
  for (int i = 0; i < 8; ++i) parts.trailer += std::string(64, '0') + "\n";
  parts.trailer += "cleartomark\n";
  return parts;
}

SynthFont AccentFont() {
  SynthFont f;
  Charstring acute;
  acute.Hsbw(0, 300).Rmoveto(100, 750).Rlineto(100, 0).Rlineto(-50, 100).Closepath().Endchar();
  f.glyphs = {
      {".notdef", Charstring().Hsbw(0, 250).Endchar().Encrypted()},
      {"A", Triangle(600, 700).Encrypted()},
      {"acute", acute.Encrypted()},
      {"Aacute", Charstring().Hsbw(0, 600).Seac(0, 150, 50, 65, 194).Encrypted()},
      {"B", Triangle(620, 700).Encrypted()},
      {"C", Triangle(640, 700).Encrypted()},
  };
  return f;
}

FreeTypeFont::FreeTypeFont(Bytes bytes) : bytes_(std::move(bytes)) {
  if (FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    return;
  }
  if (FT_New_Memory_Face(library_, bytes_.data(), static_cast<FT_Long>(bytes_.size()), 0, &face_) != 0) {
    face_ = nullptr;
  }
}

FreeTypeFont::~FreeTypeFont() {
  if (face_) FT_Done_Face(face_);
  if (library_) FT_Done_FreeType(library_);
}

std::string FreeTypeFont::GlyphName(unsigned index) const {
  char name[128] = {};
  if (!face_ || FT_Get_Glyph_Name(face_, index, name, sizeof name) != 0) return {};
  return name;
}

std::optional<unsigned> FreeTypeFont::IndexOf(const std::string& name) const {
  if (!face_) return std::nullopt;
  const FT_UInt index = FT_Get_Name_Index(face_, name.c_str());
  if (index == 0 && name != ".notdef") return std::nullopt;
  return index;
}

GlyphShape LoadShape(const FreeTypeFont& font, unsigned index) {
  GlyphShape shape;
  if (!font.ok() || FT_Load_Glyph(font.face(), index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return shape;
  const FT_GlyphSlot slot = font.face()->glyph;
  shape.loaded = true;
  shape.advance = slot->advance.x;
  const FT_Outline& o = slot->outline;
  for (int i = 0; i < o.n_points; ++i) {
    shape.xs.push_back(o.points[i].x);
    shape.ys.push_back(o.points[i].y);
    shape.tags.push_back(o.tags[i]);
  }
  shape.contours.assign(o.contours, o.contours + o.n_contours);
  return shape;
}

// Every kept glyph of the subset has the name, outline and advance of its source glyph.
void ExpectSameGlyphs(const Bytes& source, const Bytes& subset, const T1Subsetter& rec) {
  const FreeTypeFont src(source);
  const FreeTypeFont sub(subset);
  ASSERT_TRUE(src.ok());
  ASSERT_TRUE(sub.ok());
  ASSERT_EQ(sub.glyphCount(), static_cast<long>(rec.keptCount));
  for (std::uint32_t code = 0; code < rec.keptCount; ++code) {
    const unsigned from = rec.kept[code];
    EXPECT_EQ(sub.GlyphName(code), src.GlyphName(from)) << code;
    const GlyphShape want = LoadShape(src, from);
    EXPECT_TRUE(want.loaded) << src.GlyphName(from);
    EXPECT_EQ(LoadShape(sub, code), want) << src.GlyphName(from);
  }
}

}  // namespace t1test
