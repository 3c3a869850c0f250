#include "truetype_subset.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t Tag(const char (&t)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(t[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(t[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(t[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(t[3]));
}

constexpr std::uint32_t kTagTtcf = Tag("ttcf");
constexpr std::uint32_t kTagHead = Tag("head");
constexpr std::uint32_t kTagMaxp = Tag("maxp");
constexpr std::uint32_t kTagGlyf = Tag("glyf");
constexpr std::uint32_t kTagLoca = Tag("loca");
constexpr std::uint32_t kTagHhea = Tag("hhea");
constexpr std::uint32_t kTagHmtx = Tag("hmtx");
constexpr std::uint32_t kTagVhea = Tag("vhea");
constexpr std::uint32_t kTagVmtx = Tag("vmtx");
constexpr std::uint32_t kTagOs2 = Tag("OS/2");
static_assert(kTagHead == 0x68656164u);
static_assert(Tag("cvt ") == 0x63767420u);

constexpr std::uint32_t kHeadMagic = 0x5F0F3CF5u;
constexpr std::uint32_t kChecksumMagic = 0xB1B0AFBAu;

// Field positions and the least table sizes that hold them.
constexpr std::uint32_t kHeadAdjustmentAt = 8;
constexpr std::uint32_t kHeadMagicAt = 12;
constexpr std::uint32_t kHeadLocFormatAt = 50;
constexpr std::uint32_t kHeadMinLength = 54;
constexpr std::uint32_t kMaxpNumGlyphsAt = 4;
constexpr std::uint32_t kMaxpMinLength = 6;
constexpr std::uint32_t kMetricsCountAt = 34;  // numberOfHMetrics in hhea, numOfLongVerMetrics in vhea
constexpr std::uint32_t kMetricsHeaderMinLength = 36;
constexpr std::uint32_t kOs2FsTypeAt = 8;
constexpr std::uint32_t kOs2MinLength = 10;

constexpr std::uint32_t kOffsetTableSize = 12;
constexpr std::uint32_t kDirectoryRecordSize = 16;
// Offsets of short-format loca are halved 16-bit values.
constexpr std::uint32_t kShortLocaLimit = 0x1FFFE;

// Composite glyph flags.
constexpr std::uint16_t kArg1And2AreWords = 0x0001;
constexpr std::uint16_t kWeHaveAScale = 0x0008;
constexpr std::uint16_t kMoreComponents = 0x0020;
constexpr std::uint16_t kWeHaveAnXAndYScale = 0x0040;
constexpr std::uint16_t kWeHaveATwoByTwo = 0x0080;
constexpr std::uint32_t kCompositeHeaderSize = 10;

std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Every read of the font goes through here; a range past 4 GiB can never be read.
bool ReadAt(const TTSubsetter* s, std::uint64_t offset, void* destination, std::uint64_t length) {
  if (length == 0) return true;
  if (offset + length > 0xFFFFFFFFull) return false;
  return s->read(s->context, static_cast<std::uint32_t>(offset), destination, static_cast<std::uint32_t>(length)) == 0;
}

bool ReadU16(const TTSubsetter* s, std::uint64_t offset, std::uint16_t* value) {
  std::uint8_t b[2];
  if (!ReadAt(s, offset, b, 2)) return false;
  *value = GetU16(b);
  return true;
}

bool ReadU32(const TTSubsetter* s, std::uint64_t offset, std::uint32_t* value) {
  std::uint8_t b[4];
  if (!ReadAt(s, offset, b, 4)) return false;
  *value = GetU32(b);
  return true;
}

const TTTableRecord* FindTable(const TTSubsetter* s, std::uint32_t tag) {
  for (std::uint32_t i = 0; i < s->numTables; ++i) {
    if (s->tables[i].tag == tag) return &s->tables[i];
  }
  return nullptr;
}

// Makes room for n more bytes of output, doubling the capacity.
bool Reserve(TTSubsetter* s, std::uint64_t n) {
  TTOutputBuffer& out = s->output;
  const std::uint64_t needed = std::uint64_t{out.position} + n;
  if (needed < out.capacity) return true;
  if (needed > 0xFFFFFFFFull) return false;
  std::uint64_t capacity = out.capacity == 0 ? 1 : out.capacity;
  do {
    capacity *= 2;
  } while (capacity < needed);
  capacity = std::min<std::uint64_t>(capacity, 0xFFFFFFFFull);
  void* grown = std::realloc(out.start, static_cast<std::size_t>(capacity));
  if (grown == nullptr) return false;
  out.start = static_cast<std::uint8_t*>(grown);
  out.capacity = static_cast<std::uint32_t>(capacity);
  return true;
}

bool WriteZeros(TTSubsetter* s, std::uint32_t n) {
  if (!Reserve(s, n)) return false;
  std::memset(s->output.start + s->output.position, 0, n);
  s->output.position += n;
  return true;
}

// Whether the font holds the table's last byte.
bool Readable(const TTSubsetter* s, const TTTableRecord* t) {
  std::uint8_t last;
  return t->length == 0 || ReadAt(s, std::uint64_t{t->offset} + t->length - 1, &last, 1);
}

// Copies a whole table to the output. Its last byte is read first, so a table that claims more bytes than the
// font holds fails before any buffer is grown for it.
int CopyTable(TTSubsetter* s, const TTTableRecord* t) {
  if (t == nullptr) return TT_ABSENT;
  if (!Readable(s, t)) return TT_FAILED;
  if (!Reserve(s, t->length)) return TT_FAILED;
  if (!ReadAt(s, t->offset, s->output.start + s->output.position, t->length)) return TT_FAILED;
  s->output.position += t->length;
  return TT_OK;
}

// ---- Which tables the subset carries. The count in the offset table and the writers both ask here. ----

const TTTableRecord* MetricsHeader(const TTSubsetter* s, std::uint32_t tag, std::uint32_t flag) {
  if ((s->tableFlags & flag) == 0) return nullptr;
  const TTTableRecord* t = FindTable(s, tag);
  return t != nullptr && t->length >= kMetricsHeaderMinLength ? t : nullptr;
}

const TTTableRecord* Metrics(const TTSubsetter* s, std::uint32_t headerTag, std::uint32_t tag, std::uint32_t flag) {
  return MetricsHeader(s, headerTag, flag) != nullptr ? FindTable(s, tag) : nullptr;
}

bool HasGlyphs(const TTSubsetter* s) { return FindTable(s, kTagGlyf) != nullptr && FindTable(s, kTagLoca) != nullptr; }

// ---- Table writers ----

// Remaps the component ids of a composite glyph in place. Only records that lie wholly inside the glyph's
// bytes are read; a record that would run past the glyph's end ends the walk.
void RemapComponents(TTSubsetter* s, std::uint8_t* glyph, std::uint32_t length) {
  std::uint64_t p = kCompositeHeaderSize;
  for (;;) {
    if (p + 4 > length) return;
    const std::uint16_t flags = GetU16(glyph + p);
    const std::uint16_t component = GetU16(glyph + p + 2);
    PutU16(glyph + p + 2, TTSubsetter_AddGlyph(s, component));
    p += 4;
    p += (flags & kArg1And2AreWords) ? 4 : 2;
    if (flags & kWeHaveAScale) {
      p += 2;
    } else if (flags & kWeHaveAnXAndYScale) {
      p += 4;
    } else if (flags & kWeHaveATwoByTwo) {
      p += 8;
    }
    if ((flags & kMoreComponents) == 0) return;
  }
}

// The source loca table, read no further than the table itself.
struct Loca {
  std::uint8_t* bytes = nullptr;
  std::uint32_t entries = 0;
  bool longFormat = false;

  Loca() = default;
  Loca(const Loca&) = delete;
  Loca& operator=(const Loca&) = delete;
  ~Loca() { std::free(bytes); }

  std::uint32_t At(std::uint32_t i) const {
    return longFormat ? GetU32(bytes + 4 * std::size_t{i}) : 2u * GetU16(bytes + 2 * std::size_t{i});
  }

  // The glyph's byte range in glyf; false for an empty or unplaceable glyph. A glyph whose loca entries lie
  // past the table, start past glyf or run backwards is empty; only the last glyph may run past glyf's end,
  // and is cut there.
  bool Range(std::uint32_t glyph, std::uint32_t glyfLength, std::uint32_t* start, std::uint32_t* end) const {
    if (std::uint64_t{glyph} + 1 >= entries) return false;
    *start = At(glyph);
    *end = At(glyph + 1);
    if (*start >= glyfLength || *end <= *start) return false;
    if (*end > glyfLength) {
      if (std::uint64_t{glyph} + 2 != entries) return false;
      *end = glyfLength;
    }
    return true;
  }
};

bool ReadLoca(const TTSubsetter* s, const TTTableRecord* t, Loca* loca) {
  loca->longFormat = s->indexToLocFormat != 0;
  const std::uint32_t entrySize = loca->longFormat ? 4 : 2;
  const std::uint32_t wanted = s->numGlyphs + 1u;
  loca->entries = std::min(wanted, t->length / entrySize);
  if (loca->entries == 0) return true;
  loca->bytes = static_cast<std::uint8_t*>(std::malloc(std::size_t{loca->entries} * entrySize));
  if (loca->bytes == nullptr) return false;
  return ReadAt(s, t->offset, loca->bytes, std::uint64_t{loca->entries} * entrySize);
}

int WriteGlyf(TTSubsetter* s) {
  if (!HasGlyphs(s)) return TT_ABSENT;
  const TTTableRecord* glyf = FindTable(s, kTagGlyf);
  if (!Readable(s, glyf)) return TT_FAILED;
  Loca loca;
  if (!ReadLoca(s, FindTable(s, kTagLoca), &loca)) return TT_FAILED;
  const std::uint32_t tableStart = s->output.position;
  // Glyphs of a sound font do not overlap, so the kept ones fit in the source's glyf (one more byte for a short-
  // format pad). Overlapping loca ranges could otherwise repeat the whole table for every glyph.
  const std::uint64_t limit = std::uint64_t{glyf->length} + 1;
  // keptCount grows while components are found; they are copied later in this same loop.
  for (std::uint32_t k = 0; k < s->keptCount; ++k) {
    s->kept[k].newOffset = s->output.position - tableStart;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    if (!loca.Range(s->kept[k].sourceGlyph, glyf->length, &start, &end)) continue;
    const std::uint32_t length = end - start;
    if (std::uint64_t{s->output.position - tableStart} + length > limit) return TT_FAILED;
    if (!Reserve(s, length + 1)) return TT_FAILED;
    std::uint8_t* glyph = s->output.start + s->output.position;
    if (!ReadAt(s, std::uint64_t{glyf->offset} + start, glyph, length)) return TT_FAILED;
    if (length >= 2 && static_cast<std::int16_t>(GetU16(glyph)) < 0) RemapComponents(s, glyph, length);
    s->output.position += length;
    // A short-format offset must stay even: only a glyph cut at glyf's end can have an odd length.
    if (!loca.longFormat && (length & 1) != 0) s->output.start[s->output.position++] = 0;
  }
  const std::uint32_t glyfLength = s->output.position - tableStart;
  if (!loca.longFormat && glyfLength > kShortLocaLimit) return TT_FAILED;
  s->kept[s->keptCount].newOffset = glyfLength;
  return TT_OK;
}

int WriteHead(TTSubsetter* s) {
  const std::uint32_t tableStart = s->output.position;
  const int r = CopyTable(s, FindTable(s, kTagHead));
  if (r != TT_OK) return r;
  s->checkSumAdjustmentPos = tableStart + kHeadAdjustmentAt;
  PutU32(s->output.start + s->checkSumAdjustmentPos, 0);
  return TT_OK;
}

int WriteMetricsHeader(TTSubsetter* s, std::uint32_t tag, std::uint32_t flag) {
  const std::uint32_t tableStart = s->output.position;
  const TTTableRecord* t = MetricsHeader(s, tag, flag);
  const int r = CopyTable(s, t);
  if (r != TT_OK) return r;
  PutU16(s->output.start + tableStart + kMetricsCountAt, s->keptCount);
  return TT_OK;
}

// One full metric per kept glyph. Values whose bytes lie outside the source table are 0.
int WriteMetrics(TTSubsetter* s, std::uint32_t headerTag, std::uint32_t tag, std::uint32_t flag) {
  const TTTableRecord* header = MetricsHeader(s, headerTag, flag);
  const TTTableRecord* t = Metrics(s, headerTag, tag, flag);
  if (t == nullptr) return TT_ABSENT;
  std::uint16_t longCount;
  if (!ReadU16(s, std::uint64_t{header->offset} + kMetricsCountAt, &longCount)) return TT_FAILED;
  if (!Reserve(s, 4ull * s->keptCount)) return TT_FAILED;
  auto readField = [&](std::uint64_t at, std::uint32_t size, std::uint8_t* into) {
    if (at + size > t->length) {
      std::memset(into, 0, size);
      return true;
    }
    return ReadAt(s, t->offset + at, into, size);
  };
  const std::uint64_t n = longCount;
  for (std::uint32_t k = 0; k < s->keptCount; ++k) {
    const std::uint64_t g = s->kept[k].sourceGlyph;
    std::uint8_t* out = s->output.start + s->output.position;
    if (g < n) {
      if (!readField(4 * g, 4, out)) return TT_FAILED;
    } else if (n == 0) {
      std::memset(out, 0, 4);
    } else {
      if (!readField(4 * n - 4, 2, out) || !readField(4 * n + 2 * (g - n), 2, out + 2)) return TT_FAILED;
    }
    s->output.position += 4;
  }
  return TT_OK;
}

int WriteLoca(TTSubsetter* s) {
  if (!HasGlyphs(s)) return TT_ABSENT;
  const bool longFormat = s->indexToLocFormat != 0;
  const std::uint32_t entrySize = longFormat ? 4 : 2;
  if (!Reserve(s, std::uint64_t{entrySize} * (s->keptCount + 1u))) return TT_FAILED;
  for (std::uint32_t k = 0; k <= s->keptCount; ++k) {
    std::uint8_t* out = s->output.start + s->output.position;
    if (longFormat) {
      PutU32(out, s->kept[k].newOffset);
    } else {
      PutU16(out, static_cast<std::uint16_t>(s->kept[k].newOffset / 2));
    }
    s->output.position += entrySize;
  }
  return TT_OK;
}

int WriteMaxp(TTSubsetter* s) {
  const std::uint32_t tableStart = s->output.position;
  const int r = CopyTable(s, FindTable(s, kTagMaxp));
  if (r != TT_OK) return r;
  PutU16(s->output.start + tableStart + kMaxpNumGlyphsAt, s->keptCount);
  return TT_OK;
}

int WriteHhea(TTSubsetter* s) { return WriteMetricsHeader(s, kTagHhea, TT_TABLES_HORIZONTAL); }
int WriteHmtx(TTSubsetter* s) { return WriteMetrics(s, kTagHhea, kTagHmtx, TT_TABLES_HORIZONTAL); }
int WriteVhea(TTSubsetter* s) { return WriteMetricsHeader(s, kTagVhea, TT_TABLES_VERTICAL); }
int WriteVmtx(TTSubsetter* s) { return WriteMetrics(s, kTagVhea, kTagVmtx, TT_TABLES_VERTICAL); }
int WriteName(TTSubsetter* s) { return CopyTable(s, FindTable(s, Tag("name"))); }
int WriteCvt(TTSubsetter* s) { return CopyTable(s, FindTable(s, Tag("cvt "))); }
int WriteFpgm(TTSubsetter* s) { return CopyTable(s, FindTable(s, Tag("fpgm"))); }
int WritePrep(TTSubsetter* s) { return CopyTable(s, FindTable(s, Tag("prep"))); }

struct TableWriter {
  std::uint32_t tag;
  int (*write)(TTSubsetter*);
};

// The order of the table data in the subset. glyf comes first: it finds the composite components, so every
// later writer sees the final kept count.
constexpr TableWriter TTTableWriters[] = {
    {kTagGlyf, WriteGlyf},    {kTagHead, WriteHead},   {kTagHhea, WriteHhea},    {kTagHmtx, WriteHmtx},
    {kTagVhea, WriteVhea},    {kTagVmtx, WriteVmtx},   {kTagLoca, WriteLoca},    {kTagMaxp, WriteMaxp},
    {Tag("name"), WriteName}, {Tag("cvt "), WriteCvt}, {Tag("fpgm"), WriteFpgm}, {Tag("prep"), WritePrep},
};
constexpr std::uint32_t kWriterCount = sizeof(TTTableWriters) / sizeof(TTTableWriters[0]);
static_assert(kWriterCount == 12);

bool Wanted(const TTSubsetter* s, std::uint32_t tag) {
  switch (tag) {
    case kTagGlyf:
    case kTagLoca:
      return HasGlyphs(s);
    case kTagHhea:
      return MetricsHeader(s, kTagHhea, TT_TABLES_HORIZONTAL) != nullptr;
    case kTagHmtx:
      return Metrics(s, kTagHhea, kTagHmtx, TT_TABLES_HORIZONTAL) != nullptr;
    case kTagVhea:
      return MetricsHeader(s, kTagVhea, TT_TABLES_VERTICAL) != nullptr;
    case kTagVmtx:
      return Metrics(s, kTagVhea, kTagVmtx, TT_TABLES_VERTICAL) != nullptr;
    default:
      return FindTable(s, tag) != nullptr;
  }
}

bool OpenFont(TTSubsetter* s, std::uint32_t faceIndex) {
  std::uint32_t tag;
  if (!ReadU32(s, 0, &tag)) return false;
  std::uint32_t directory = 0;
  if (tag == kTagTtcf) {
    std::uint32_t numFonts;
    if (!ReadU32(s, 8, &numFonts) || faceIndex >= numFonts) return false;
    if (!ReadU32(s, 12 + 4ull * faceIndex, &directory)) return false;
  }
  if (!ReadU16(s, std::uint64_t{directory} + 4, &s->numTables)) return false;
  const std::size_t bytes = std::size_t{s->numTables} * kDirectoryRecordSize;
  auto* raw = static_cast<std::uint8_t*>(std::malloc(bytes == 0 ? 1 : bytes));
  s->tables = static_cast<TTTableRecord*>(std::calloc(s->numTables == 0 ? 1 : s->numTables, sizeof(TTTableRecord)));
  const bool read = raw != nullptr && s->tables != nullptr && ReadAt(s, std::uint64_t{directory} + 12, raw, bytes);
  if (read) {
    for (std::uint32_t i = 0; i < s->numTables; ++i) {
      const std::uint8_t* r = raw + kDirectoryRecordSize * i;
      s->tables[i] = {GetU32(r), GetU32(r + 4), GetU32(r + 8), GetU32(r + 12)};
    }
  }
  std::free(raw);
  if (!read) return false;

  const TTTableRecord* head = FindTable(s, kTagHead);
  const TTTableRecord* maxp = FindTable(s, kTagMaxp);
  if (head == nullptr || maxp == nullptr || FindTable(s, kTagGlyf) == nullptr) return false;
  if (head->length < kHeadMinLength || maxp->length < kMaxpMinLength) return false;
  std::uint32_t magic;
  if (!ReadU32(s, std::uint64_t{head->offset} + kHeadMagicAt, &magic) || magic != kHeadMagic) return false;
  if (!ReadU16(s, std::uint64_t{head->offset} + kHeadLocFormatAt, &s->indexToLocFormat)) return false;
  if (!ReadU16(s, std::uint64_t{maxp->offset} + kMaxpNumGlyphsAt, &s->numGlyphs)) return false;
  // Glyph 0 is always kept, so a font needs at least one glyph.
  if (s->numGlyphs == 0) return false;

  s->kept = static_cast<TTKeptGlyph*>(std::calloc(s->numGlyphs + 1u, sizeof(TTKeptGlyph)));
  s->glyphMap = static_cast<std::uint16_t*>(std::calloc(s->numGlyphs, sizeof(std::uint16_t)));
  return s->kept != nullptr && s->glyphMap != nullptr;
}

}  // namespace

TTSubsetter::~TTSubsetter() { TTSubsetter_Close(this); }

TTSubsetter* TTSubsetter_Open(TTSubsetter* s, std::uint32_t faceIndex, TTReadCallback read, void* context) {
  TTSubsetter_Close(s);
  s->read = read;
  s->context = context;
  s->keptCount = 0;
  s->checkSumAdjustmentPos = 0;
  s->indexToLocFormat = 0;
  s->numGlyphs = 0;
  s->tableFlags = TT_TABLES_HORIZONTAL;
  s->status = TT_FAILED;
  if (read == nullptr || !OpenFont(s, faceIndex)) {
    TTSubsetter_Close(s);
    return s;
  }
  s->keptCount = 1;
  s->status = TT_OK;
  return s;
}

void TTSubsetter_Close(TTSubsetter* s) {
  std::free(s->tables);
  std::free(s->kept);
  std::free(s->glyphMap);
  std::free(s->output.start);
  s->tables = nullptr;
  s->numTables = 0;
  s->kept = nullptr;
  s->glyphMap = nullptr;
  s->keptCount = 0;
  s->output = {};
  s->status = TT_FAILED;
}

std::uint16_t TTSubsetter_GetFsType(TTSubsetter* s) {
  if (s->status != TT_OK) return 0;
  const TTTableRecord* os2 = FindTable(s, kTagOs2);
  std::uint16_t fsType;
  if (os2 == nullptr || os2->length < kOs2MinLength || !ReadU16(s, std::uint64_t{os2->offset} + kOs2FsTypeAt, &fsType))
    return 0;
  return fsType;
}

void TTSubsetter_SetTableFlags(TTSubsetter* s, std::uint32_t flags) { s->tableFlags = flags; }

std::uint16_t TTSubsetter_AddGlyph(TTSubsetter* s, std::uint16_t glyph) {
  if (s->status != TT_OK || glyph == 0 || glyph >= s->numGlyphs) return 0;
  if (s->glyphMap[glyph] == 0) {
    // At most numGlyphs - 1 glyphs join glyph 0, so the kept list (numGlyphs + 1 records) always has room.
    s->kept[s->keptCount] = {glyph, 0};
    s->glyphMap[glyph] = s->keptCount++;
  }
  return s->glyphMap[glyph];
}

int TTSubsetter_Build(TTSubsetter* s) {
  if (s->status != TT_OK) return TT_FAILED;
  s->output.position = 0;

  std::uint32_t count = 0;
  for (const TableWriter& w : TTTableWriters) count += Wanted(s, w.tag) ? 1 : 0;
  std::uint32_t power = 1;
  std::uint32_t log2 = 0;
  while (power * 2 <= count) {
    power *= 2;
    ++log2;
  }
  const std::uint32_t headerSize = kOffsetTableSize + kDirectoryRecordSize * count;
  if (!Reserve(s, headerSize)) return TT_FAILED;
  std::uint8_t* header = s->output.start;
  std::memset(header, 0, headerSize);
  PutU32(header, 0x00010000u);
  PutU16(header + 4, static_cast<std::uint16_t>(count));
  PutU16(header + 6, static_cast<std::uint16_t>(16 * power));
  PutU16(header + 8, static_cast<std::uint16_t>(log2));
  PutU16(header + 10, static_cast<std::uint16_t>(16 * count - 16 * power));
  s->output.position = headerSize;

  TTTableRecord written[kWriterCount];
  std::uint32_t n = 0;
  bool headWritten = false;
  for (const TableWriter& w : TTTableWriters) {
    const std::uint32_t start = s->output.position;
    const int r = w.write(s);
    if (r == TT_ABSENT) continue;
    if (r != TT_OK || n == count) return TT_FAILED;
    const std::uint32_t length = s->output.position - start;
    written[n++] = {w.tag, TTSubsetter_Checksum(s->output.start + start, length), start, length};
    headWritten = headWritten || w.tag == kTagHead;
    if (!WriteZeros(s, (4 - length % 4) % 4)) return TT_FAILED;
  }
  if (n != count || !headWritten) return TT_FAILED;

  // The directory is sorted by tag, while the table data keeps the writers' order.
  for (std::uint32_t i = 1; i < n; ++i) {
    for (std::uint32_t j = i; j > 0 && written[j - 1].tag > written[j].tag; --j) std::swap(written[j - 1], written[j]);
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint8_t* r = s->output.start + kOffsetTableSize + kDirectoryRecordSize * i;
    PutU32(r, written[i].tag);
    PutU32(r + 4, written[i].checksum);
    PutU32(r + 8, written[i].offset);
    PutU32(r + 12, written[i].length);
  }
  const std::uint32_t sum = TTSubsetter_Checksum(s->output.start, s->output.position);
  PutU32(s->output.start + s->checkSumAdjustmentPos, kChecksumMagic - sum);
  return TT_OK;
}

std::uint32_t TTSubsetter_Checksum(const std::uint8_t* bytes, std::uint32_t length) {
  std::uint32_t sum = 0;
  std::uint32_t i = 0;
  for (; i + 4 <= length; i += 4) sum += GetU32(bytes + i);
  if (i < length) {
    std::uint8_t tail[4] = {0, 0, 0, 0};
    std::memcpy(tail, bytes + i, length - i);
    sum += GetU32(tail);
  }
  return sum;
}
