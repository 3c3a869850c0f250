#include "type1_subset.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "type1_format.h"

namespace {

using t1::Cipher;

constexpr std::uint32_t kMaxCodes = 256;  // slots of the encoding array

// A ".notdef" for fonts that have none: "0 333 hsbw endchar" behind four random bytes, charstring-encrypted.
constexpr std::array<std::uint8_t, 9> MakeNotdefCharstring() {
  const std::array<std::uint8_t, 9> plain = {0, 0, 0, 0, 139, 247, 225, 13, 14};
  std::array<std::uint8_t, 9> out{};
  Cipher c{t1::kCharstringKey};
  for (std::size_t i = 0; i < plain.size(); ++i) out[i] = c.Encrypt(plain[i]);
  return out;
}
constexpr std::array<std::uint8_t, 9> kNotdefCharstring = MakeNotdefCharstring();

constexpr std::uint32_t ReadLE32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

struct Range {
  std::size_t begin, end;
};

// One PFB segment header at `at`: marker, type and a length that stays inside the file.
struct Segment {
  std::uint8_t type;
  std::size_t dataBegin, dataEnd;
};
std::optional<Segment> ReadSegment(const std::vector<std::uint8_t>& image, std::size_t at) {
  if (at > image.size() || image.size() - at < 6 || image[at] != 0x80) return std::nullopt;
  const std::uint32_t length = ReadLE32(image.data() + at + 2);
  if (length > image.size() - at - 6) return std::nullopt;
  return Segment{image[at + 1], at + 6, at + 6 + length};
}

void Release(T1Subsetter& s) {
  std::vector<std::uint8_t>().swap(s.image);
  std::vector<std::uint8_t>().swap(s.decrypted);
  std::vector<T1Glyph>().swap(s.glyphs);
  std::vector<std::uint32_t>().swap(s.kept);
  s.output.reset();
  s.outputUsed = s.outputCapacity = 0;
}

// Splits the file image into the clear part and the encrypted part(s).
int FindParts(T1Subsetter& s, bool pfb, std::vector<Range>& encrypted) {
  const auto& image = s.image;
  if (pfb) {
    const auto clear = ReadSegment(image, 0);
    if (!clear || clear->type != 1) return -1;
    s.clearStart = clear->dataBegin;
    s.clearEnd = clear->dataEnd;
    auto seg = ReadSegment(image, clear->dataEnd);
    if (!seg || (seg->type != 1 && seg->type != 2)) return -1;
    s.hexInput = seg->type == 1;
    encrypted.push_back({seg->dataBegin, seg->dataEnd});
    std::size_t at = seg->dataEnd;
    // A binary part may be split over several segments.
    while (!s.hexInput) {
      const auto next = ReadSegment(image, at);
      if (!next || next->type != 2) break;
      encrypted.push_back({next->dataBegin, next->dataEnd});
      at = next->dataEnd;
    }
    s.encryptedStart = encrypted.front().begin;
    s.encryptedEnd = encrypted.back().end;
    // The image ends at the end-of-file marker; a file that simply ends after a whole segment is taken too.
    for (;;) {
      if (at == image.size()) break;
      if (image.size() - at >= 2 && image[at] == 0x80 && image[at + 1] == 3) break;
      const auto next = ReadSegment(image, at);
      if (!next || (next->type != 1 && next->type != 2)) return -1;
      at = next->dataEnd;
    }
    s.imageEnd = at;
    return 0;
  }
  const auto eexec = t1::FindToken(image.data(), 0, image.size(), "eexec");
  if (!eexec) return -1;
  // The clear part takes "eexec" and the one line end (or blank) behind it.
  std::size_t end = *eexec + 5;
  if (end < image.size() && image[end] == '\r') {
    ++end;
    if (end < image.size() && image[end] == '\n') ++end;
  } else if (end < image.size() && (image[end] == '\n' || image[end] == ' ' || image[end] == '\t')) {
    ++end;
  }
  s.clearStart = 0;
  s.clearEnd = end;
  s.encryptedStart = end;
  s.encryptedEnd = image.size();
  encrypted.push_back({end, image.size()});
  // Hexadecimal unless the part starts with a byte that is neither white space nor, with the three after it, a
  // hex digit: the binary form of the same layout.
  const std::size_t probe = std::min<std::size_t>(4, image.size() - end);
  bool hex = probe == 0 || t1::IsWhite(image[end]);
  if (!hex) {
    hex = true;
    for (std::size_t i = 0; i < probe; ++i) hex = hex && t1::HexValue(image[end + i]) >= 0;
  }
  s.hexInput = hex;
  return 0;
}

int ParseCharStrings(T1Subsetter& s) {
  const std::uint8_t* d = s.decrypted.data();
  const std::size_t size = s.decrypted.size();
  const auto pos = t1::FindToken(d, 0, size, "/CharStrings");
  if (!pos) return -1;
  s.charStringsPos = *pos;
  const auto count = t1::ReadDecimal(d, *pos + 12, size);
  if (!count || count->value < 1) return -1;
  s.declaredCount = count->value;
  s.countEnd = count->end;
  const auto* slash = static_cast<const std::uint8_t*>(std::memchr(d + s.countEnd, '/', size - s.countEnd));
  if (!slash) return -1;
  s.firstGlyphPos = static_cast<std::size_t>(slash - d);

  std::size_t cur = s.firstGlyphPos;
  std::size_t notdef = std::numeric_limits<std::size_t>::max();
  while (cur < size && d[cur] == '/') {
    const std::size_t nameBegin = cur + 1;
    const std::size_t nameEnd = t1::SkipToken(d, nameBegin, size);
    const auto length = t1::ReadDecimal(d, nameEnd, size);
    if (!length) return -1;
    const std::size_t rdBegin = t1::SkipWhite(d, length->end, size);
    const std::size_t rdEnd = t1::SkipToken(d, rdBegin, size);
    if (rdBegin == rdEnd || rdEnd >= size) return -1;
    const std::size_t csBegin = rdEnd + 1;
    if (length->value > size - csBegin) return -1;
    const std::size_t csEnd = csBegin + length->value;
    std::size_t next = t1::SkipWhite(d, csEnd, size);
    next = t1::SkipToken(d, next, size);
    next = t1::SkipWhite(d, next, size);
    if (next >= size) return -1;

    T1Glyph g;
    g.name.assign(reinterpret_cast<const char*>(d + nameBegin), nameEnd - nameBegin);
    g.charstringStart = d + csBegin;
    g.charstringEnd = d + csEnd;
    if (notdef == std::numeric_limits<std::size_t>::max() && g.name == ".notdef") notdef = s.glyphs.size();
    s.glyphs.push_back(std::move(g));
    cur = next;
  }
  s.lastGlyphEnd = cur;
  // Entries beyond the declared count are read, but such a font is not written again.
  s.tooManyGlyphs = s.glyphs.size() > s.declaredCount;

  if (notdef == std::numeric_limits<std::size_t>::max()) {
    T1Glyph g;
    g.name = ".notdef";
    g.charstringStart = kNotdefCharstring.data();
    g.charstringEnd = kNotdefCharstring.data() + kNotdefCharstring.size();
    s.glyphs.push_back(std::move(s.glyphs.front()));
    s.glyphs.front() = std::move(g);
  } else if (notdef != 0) {
    std::swap(s.glyphs[0], s.glyphs[notdef]);
  }
  if (s.glyphs.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return -1;
  s.glyphCount = static_cast<std::int32_t>(s.glyphs.size());
  for (std::size_t i = s.glyphs.size(); i-- > 1;) {
    const int code = t1::StandardEncodingCode(s.glyphs[i].name);
    if (code >= 0) s.standardGlyphs[static_cast<std::size_t>(code)] = static_cast<std::uint32_t>(i);
  }
  s.kept.reserve(std::min<std::size_t>(s.glyphs.size(), kMaxCodes));
  s.kept.push_back(0);
  s.keptCount = 1;
  return 0;
}

int Parse(T1Subsetter& s) {
  if (!s.read || !s.size) return -1;
  const std::uint32_t fileSize = s.size(s.context);
  std::uint8_t start[2];
  if (fileSize < 2 || s.read(s.context, 0, start, 2) != 0) return -1;
  const bool pfb = start[0] == 0x80 && start[1] == 0x01;
  const std::uint32_t textStart = pfb ? 6 : 0;
  if (fileSize < textStart + 10) return -1;
  char header[14];
  const std::uint32_t headerLength = std::min<std::uint32_t>(14, fileSize - textStart);
  if (s.read(s.context, textStart, header, headerLength) != 0) return -1;
  const std::string_view text(header, headerLength);
  if (!text.starts_with("%!PS-AdobeFont") && !text.starts_with("%!FontType")) return -1;

  s.image.resize(fileSize);
  if (s.read(s.context, 0, s.image.data(), fileSize) != 0) return -1;
  s.imageEnd = fileSize;

  std::vector<Range> encrypted;
  if (FindParts(s, pfb, encrypted) != 0) return -1;

  std::size_t total = 0;
  for (const Range& r : encrypted) total += r.end - r.begin;
  s.decrypted.resize(s.hexInput ? total / 2 : total);
  Cipher cipher{t1::kEexecKey};
  std::size_t written = 0;
  for (const Range& r : encrypted) {
    written += t1::Decrypt(s.image.data() + r.begin, r.end - r.begin, s.hexInput, cipher,
                           s.decrypted.data() + written);
  }
  s.decrypted.resize(written);

  const std::uint8_t* d = s.decrypted.data();
  if (t1::FindToken(d, 0, written, "/-|")) {
    s.rdToken = "-|";
    s.ndToken = "|-";
  } else if (t1::FindToken(d, 0, written, "/RD")) {
    s.rdToken = "RD";
    s.ndToken = "ND";
  } else {
    return -1;
  }

  if (ParseCharStrings(s) != 0) return -1;

  const auto closefile = t1::FindToken(d, s.lastGlyphEnd, written, "closefile");
  if (!closefile) return -1;
  s.closefileEnd = *closefile + 9;
  const auto cleartomark = t1::FindToken(s.image.data(), s.clearEnd, s.imageEnd, "cleartomark");
  if (!cleartomark) return -1;
  s.cleartomarkPos = *cleartomark;
  return 0;
}

// Keeps the base and accent glyphs of every seac in the glyph's charstring.
void KeepSeacComponents(T1Subsetter& s, const T1Glyph& glyph) {
  Cipher cipher{t1::kCharstringKey};
  const std::uint8_t* p = glyph.charstringStart;
  const std::uint8_t* const end = glyph.charstringEnd;
  auto next = [&](std::uint8_t& b) {
    if (p == end) return false;
    b = cipher.Decrypt(*p++);
    return true;
  };
  std::uint8_t v = 0;
  for (std::size_t i = 0; i < t1::kLenIV; ++i) {
    if (!next(v)) return;
  }
  std::int32_t operands[5] = {};
  int count = 0;
  while (next(v)) {
    if (v >= 32) {
      std::int32_t value = 0;
      std::uint8_t w = 0;
      if (v <= 246) {
        value = v - 139;
      } else if (v <= 254) {
        if (!next(w)) return;
        value = v <= 250 ? (v - 247) * 256 + w + 108 : -(v - 251) * 256 - w - 108;
      } else {
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) {
          if (!next(w)) return;
          u = (u << 8) | w;
        }
        value = static_cast<std::int32_t>(u);
      }
      if (count < 5) operands[count++] = value;
      continue;
    }
    int op = v;
    if (v == 12) {
      if (!next(v)) return;
      op = v + 32;
    }
    if (op == 38) {  // seac: asb adx ady bchar achar
      for (int k = 3; k < count; ++k) {
        if (operands[k] < 0 || operands[k] > 255) continue;
        const std::uint32_t index = s.standardGlyphs[static_cast<std::size_t>(operands[k])];
        if (index > 0) T1Subsetter_AddGlyph(&s, index);
      }
    }
    count = 0;
  }
}

// Output buffer growing by doubling.
int Reserve(T1Subsetter& s, std::size_t n) {
  const std::uint64_t need = static_cast<std::uint64_t>(s.outputUsed) + n;
  if (need < s.outputCapacity) return 0;
  if (need > std::numeric_limits<std::uint32_t>::max()) return -1;
  std::uint64_t capacity = s.outputCapacity;
  if (capacity == 0) {
    capacity = 1;
    while (capacity < need) capacity *= 2;
  } else {
    do capacity *= 2;
    while (capacity < need);
  }
  capacity = std::min<std::uint64_t>(capacity, std::numeric_limits<std::uint32_t>::max());
  std::unique_ptr<std::uint8_t[]> grown(new (std::nothrow) std::uint8_t[capacity]);
  if (!grown) return -1;
  if (s.outputUsed) std::memcpy(grown.get(), s.output.get(), s.outputUsed);
  s.output = std::move(grown);
  s.outputCapacity = static_cast<std::uint32_t>(capacity);
  return 0;
}

int Write(T1Subsetter& s, const void* data, std::size_t n) {
  if (n == 0) return 0;
  if (Reserve(s, n) != 0) return -1;
  std::memcpy(s.output.get() + s.outputUsed, data, n);
  s.outputUsed += static_cast<std::uint32_t>(n);
  return 0;
}
int Write(T1Subsetter& s, std::string_view text) { return Write(s, text.data(), text.size()); }
int WriteRange(T1Subsetter& s, const std::vector<std::uint8_t>& from, std::size_t begin, std::size_t end) {
  return Write(s, from.data() + begin, end - begin);
}

// The private part: encrypted with the running eexec state (binary or hex), or copied in plain mode.
int Emit(T1Subsetter& s, const std::uint8_t* p, std::size_t n) {
  if (s.plainOutput) return Write(s, p, n);
  if (n > (std::numeric_limits<std::uint32_t>::max() >> 1) || Reserve(s, s.hexOutput ? 2 * n : n) != 0) return -1;
  static constexpr char kDigits[] = "0123456789abcdef";
  Cipher cipher{s.r};
  std::uint8_t* out = s.output.get() + s.outputUsed;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t c = cipher.Encrypt(p[i]);
    if (s.hexOutput) {
      *out++ = static_cast<std::uint8_t>(kDigits[c >> 4]);
      *out++ = static_cast<std::uint8_t>(kDigits[c & 15]);
    } else {
      *out++ = c;
    }
  }
  s.r = cipher.r;
  s.outputUsed = static_cast<std::uint32_t>(out - s.output.get());
  return 0;
}
int Emit(T1Subsetter& s, std::string_view text) {
  return Emit(s, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
int EmitRange(T1Subsetter& s, std::size_t begin, std::size_t end) {
  return Emit(s, s.decrypted.data() + begin, end - begin);
}

// PFB segment header; its length is filled by EndSegment.
int BeginSegment(T1Subsetter& s, std::uint8_t type, std::uint32_t& headerAt) {
  headerAt = s.outputUsed;
  const std::uint8_t header[6] = {0x80, type, 0, 0, 0, 0};
  return Write(s, header, sizeof header);
}
void EndSegment(T1Subsetter& s, std::uint32_t headerAt) {
  const std::uint32_t length = s.outputUsed - headerAt - 6;
  std::uint8_t* p = s.output.get() + headerAt + 2;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(length >> (8 * i));
}

int BuildInto(T1Subsetter& s) {
  const bool pfb = s.mode == kT1ModePfb;
  std::uint32_t header = 0;
  if (pfb && BeginSegment(s, 1, header) != 0) return -1;

  // Clear part, with an encoding that gives each kept glyph its code.
  const auto encoding = t1::FindToken(s.image.data(), s.clearStart, s.clearEnd, "/Encoding");
  if (!encoding) return -1;
  const auto def = t1::FindToken(s.image.data(), *encoding, s.clearEnd, "def");
  if (!def) return -1;
  if (WriteRange(s, s.image, s.clearStart, *encoding) != 0 ||
      Write(s, "/Encoding 256 array\n0 1 255 {1 index exch /.notdef put} for\n") != 0) {
    return -1;
  }
  for (std::uint32_t code = 0; code < s.keptCount; ++code) {
    if (Write(s, "dup " + std::to_string(code) + " /" + s.glyphs[s.kept[code]].name + " put\n") != 0) return -1;
  }
  if (Write(s, "readonly def") != 0 || WriteRange(s, s.image, *def + 3, s.clearEnd) != 0) return -1;
  s.length1 = s.outputUsed;

  if (pfb) {
    EndSegment(s, header);
    if (BeginSegment(s, 2, header) != 0) return -1;
  } else if (s.mode == kT1ModeHex && Write(s, "\n") != 0) {
    return -1;
  }

  // Private part: everything but the CharStrings entries passes unchanged.
  if (EmitRange(s, 0, s.charStringsPos) != 0 || Emit(s, "/CharStrings " + std::to_string(s.keptCount)) != 0 ||
      EmitRange(s, s.countEnd, s.firstGlyphPos) != 0) {
    return -1;
  }
  for (std::uint32_t code = 0; code < s.keptCount; ++code) {
    const T1Glyph& g = s.glyphs[s.kept[code]];
    const auto length = static_cast<std::uint32_t>(g.charstringEnd - g.charstringStart);
    if (Emit(s, "/" + g.name + " " + std::to_string(length) + " " + s.rdToken + " ") != 0 ||
        Emit(s, g.charstringStart, length) != 0 || Emit(s, s.ndToken + "\n") != 0) {
      return -1;
    }
  }
  if (EmitRange(s, s.lastGlyphEnd, s.closefileEnd) != 0 || Emit(s, "\n") != 0) return -1;
  s.length2 = s.outputUsed - s.length1;

  if (pfb) {
    EndSegment(s, header);
    if (BeginSegment(s, 1, header) != 0) return -1;
  } else if (s.mode == kT1ModeHex && Write(s, "\n") != 0) {
    return -1;
  }

  // Trailer: the 512 zeros that close a Type 1 font, then the source's text from "cleartomark" on.
  const std::string zeros = std::string(64, '0') + "\n";
  for (int i = 0; i < 8; ++i) {
    if (Write(s, zeros) != 0) return -1;
  }
  if (WriteRange(s, s.image, s.cleartomarkPos, s.imageEnd) != 0) return -1;
  s.length3 = s.outputUsed - s.length1 - s.length2;

  if (pfb) {
    EndSegment(s, header);
    const std::uint8_t eof[2] = {0x80, 0x03};
    if (Write(s, eof, sizeof eof) != 0) return -1;
  }
  return 0;
}

}  // namespace

T1Subsetter* T1Subsetter_Open(T1Subsetter* record, T1ReadProc read, T1SizeProc size, void* context) {
  if (!record) return nullptr;
  T1Subsetter& s = *record;
  Release(s);
  s = T1Subsetter{};
  s.read = read;
  s.size = size;
  s.context = context;
  try {
    s.status = Parse(s);
  } catch (const std::bad_alloc&) {
    s.status = -1;
  }
  if (s.status != 0) Release(s);
  return record;
}

void T1Subsetter_Close(T1Subsetter* record) {
  if (!record) return;
  Release(*record);
  record->status = -1;
}

void T1Subsetter_SetMode(T1Subsetter* record, std::uint32_t mode) {
  if (!record || mode > kT1ModeFontFile) return;
  record->mode = mode;
  record->plainOutput = mode == kT1ModePlain;
  record->hexOutput = mode == kT1ModeHex;
}

std::uint32_t T1Subsetter_AddGlyph(T1Subsetter* record, std::uint32_t glyphIndex) {
  if (!record || record->status != 0) return 0;
  T1Subsetter& s = *record;
  if (glyphIndex < 1 || glyphIndex >= static_cast<std::uint32_t>(s.glyphCount)) return 0;
  T1Glyph& glyph = s.glyphs[glyphIndex];
  if (glyph.code != 0) return glyph.code;
  // A seac chain that leads back to a glyph being kept ends here.
  if (glyph.walking || s.keptCount >= kMaxCodes) return 0;
  glyph.walking = true;
  KeepSeacComponents(s, glyph);
  glyph.walking = false;
  if (s.keptCount >= kMaxCodes) return 0;
  glyph.code = s.keptCount++;
  s.kept.push_back(glyphIndex);  // reserved at opening for all 256 codes
  return glyph.code;
}

int T1Subsetter_Build(T1Subsetter* record) {
  if (!record || record->status != 0) return -1;
  T1Subsetter& s = *record;
  if (s.tooManyGlyphs) return -1;
  s.outputUsed = 0;
  s.length1 = s.length2 = s.length3 = 0;
  s.r = t1::kEexecKey;
  try {
    if (BuildInto(s) == 0) return 0;
  } catch (const std::bad_alloc&) {
  }
  s.length1 = s.length2 = s.length3 = 0;
  return -1;
}
