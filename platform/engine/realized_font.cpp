// Font realisation: the FONTOBJ of a face at a size, and its accessors.
#include <algorithm>
#include <array>
#include <cmath>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "engine_state.h"
#include "font_face.h"
#include FT_ADVANCES_H
#include FT_TRUETYPE_TAGS_H
#include "font_file.h"
#include "font_metrics.h"
#include "glyph_outline.h"
#include "glyph_set.h"
#include "path_object.h"
#include "win/enginefont.h"
#include "xform_object.h"

namespace kq {

namespace {
// Past this an em no longer fits the FONTOBJ's pixel counts; no device needs it.
constexpr double kMaxEmPixels = 100000;
constexpr double kItalicSlant = 0.342;
constexpr double kPi = 3.14159265358979323846;
}  // namespace

class RealizedFont::Impl {
 public:
  ~Impl() {
    if (auto owner = machine.lock()) owner->Service<engine::EngineState>().UnregisterObject(&fo);
  }

  std::weak_ptr<Machine> machine;  // weakly: a machine's own services may keep engine objects
  std::filesystem::path file;
  UINT faceIndex = 0;
  std::unique_ptr<engine::MappedFile> mapped;
  std::unique_ptr<engine::FontFace> face;  // reads the mapping: goes first
  engine::GlyphSet glyphs;
  std::array<HGLYPH, 256> firstGlyphs{};  // the glyphs of U+0000 to U+00FF, the run of most text
  engine::AlignedBlock ifi;
  std::unique_ptr<engine::XformObject> xform;
  double emPixels = 0;
  double scale = 0;  // device pixels per font unit
  double cosA = 1, sinA = 0;  // the escapement
  double ascent = 0, descent = 0;  // above and below the baseline, font units, both positive
  FONTOBJ fo{};
  // Outlines handed out so far; they live as long as the font.
  std::unordered_map<HGLYPH, std::unique_ptr<engine::GlyphEntry>> outlines;
  // The upright ones among the first kDirectGlyphs glyphs, found without the map (empty until one is asked for).
  static constexpr HGLYPH kDirectGlyphs = 1024;
  std::vector<engine::GlyphEntry*> directOutlines;
  // Advances asked for so far, in device pixels, by glyph (the first 8192); NaN where not asked yet.
  std::vector<double> advances;
};

RealizedFont::RealizedFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RealizedFont::~RealizedFont() = default;

std::unique_ptr<RealizedFont> RealizedFont::Realize(const FontRequest& request) {
  const double emPixels = request.pointSize * request.dpi / 72.0;
  if (!std::isfinite(request.pointSize) || request.pointSize <= 0 || request.dpi <= 0 || emPixels > kMaxEmPixels ||
      !std::isfinite(request.escapement)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  const auto path = FindFontFile(request.file);
  if (!path) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  std::error_code ec;
  impl->file = std::filesystem::weakly_canonical(*path, ec);
  if (ec) impl->file = *path;
  impl->mapped = engine::MappedFile::Open(impl->file);
  if (!impl->mapped) return nullptr;
  impl->faceIndex = request.faceIndex;
  if (!request.faceName.empty()) {
    const auto index = engine::FontFace::FindFace(*impl->mapped, request.faceName);
    if (!index) return nullptr;
    impl->faceIndex = *index;
  }
  impl->face = engine::FontFace::Open(*impl->mapped, impl->faceIndex);
  if (!impl->face) return nullptr;
  FT_Face ft = impl->face->Face();
  if (ft->units_per_EM == 0) {
    SetLastError(ERROR_BAD_FORMAT);
    return nullptr;
  }

  impl->glyphs = engine::GlyphSet::Build(ft);
  for (WCHAR ch = 0; ch < impl->firstGlyphs.size(); ++ch) impl->firstGlyphs[ch] = impl->glyphs.Lookup(ch);
  impl->advances.assign(static_cast<std::size_t>(std::clamp<FT_Long>(ft->num_glyphs, 0, 8192)), std::nan(""));
  const engine::FaceNames names = engine::ReadFaceNames(*impl->face);
  impl->ifi = engine::BuildIfiMetrics(*impl->face, impl->glyphs, names, request.vertical, GetACP());
  const IFIMETRICS& ifi = *impl->ifi.As<IFIMETRICS>();
  impl->emPixels = emPixels;
  impl->scale = emPixels / ft->units_per_EM;
  const std::shared_ptr<Machine> machine = CurrentMachineShared();
  impl->machine = machine;
  // Notional space shares the device's y-down orientation, so an upright face has a positive eM22; the escapement
  // turns the baseline counter-clockwise on the page.
  const double angle = std::fmod(request.escapement, 360.0) * kPi / 180;
  const bool quarter = std::fmod(request.escapement, 90.0) == 0;
  impl->cosA = quarter ? std::round(std::cos(angle)) : std::cos(angle);
  impl->sinA = quarter ? std::round(std::sin(angle)) : std::sin(angle);
  const auto c = static_cast<FLOATL>(impl->scale * impl->cosA), n = static_cast<FLOATL>(impl->scale * impl->sinA);
  impl->xform = std::make_unique<engine::XformObject>(machine, XFORML{c, -n, n, c, 0, 0});
  impl->ascent = std::abs(static_cast<double>(ifi.fwdTypoAscender));
  impl->descent = std::abs(static_cast<double>(ifi.fwdTypoDescender));

  const bool cff = impl->face->HasTable(TTAG_CFF) || impl->face->HasTable(TTAG_CFF2);
  FLONG type = cff ? FO_TYPE_OPENTYPE | FO_POSTSCRIPT | FO_CFF : FO_TYPE_TRUETYPE;
  if (impl->face->IsType1()) type = FO_POSTSCRIPT;
  const bool faceBold = ifi.usWinWeight >= FW_SEMIBOLD || (ifi.fsSelection & FM_SEL_BOLD);
  const bool faceItalic = (ifi.fsSelection & FM_SEL_ITALIC) || ifi.lItalicAngle != 0;
  if (request.weight >= FW_SEMIBOLD && !faceBold) type |= FO_SIM_BOLD;
  if (request.italic && !faceItalic) type |= FO_SIM_ITALIC;
  if (request.vertical) type |= FO_VERT_FACE;
  const BYTE cs = ifi.jWinCharSet;
  if (cs == SHIFTJIS_CHARSET || cs == HANGUL_CHARSET || cs == JOHAB_CHARSET || cs == GB2312_CHARSET ||
      cs == CHINESEBIG5_CHARSET)
    type |= FO_DBCS_FONT;

  auto& state = machine->Service<engine::EngineState>();
  FONTOBJ& fo = impl->fo;
  {
    std::lock_guard lock(state.Mutex());
    fo.iUniq = state.NextFontUniq();
    fo.iTTUniq = state.FaceId(impl->file, impl->faceIndex);
    fo.iFile = state.FileId(impl->file);
  }
  fo.iFace = 0;
  fo.cxMax = static_cast<ULONG>(std::ceil(static_cast<USHORT>(ifi.fwdMaxCharInc) * impl->scale));
  fo.flFontType = type;
  fo.sizLogResPpi = {request.dpi, request.dpi};
  fo.ulStyleSize = static_cast<ULONG>(std::lround(request.pointSize));
  state.RegisterObject(&fo, engine::EngineState::ObjectKind::Font, impl.get());
  return std::unique_ptr<RealizedFont>(new RealizedFont(std::move(impl)));
}

FONTOBJ* RealizedFont::Object() { return &impl_->fo; }
const IFIMETRICS& RealizedFont::Metrics() const { return *impl_->ifi.As<IFIMETRICS>(); }
const std::filesystem::path& RealizedFont::File() const { return impl_->file; }
UINT RealizedFont::FaceIndex() const { return impl_->faceIndex; }
double RealizedFont::EmPixels() const { return impl_->emPixels; }
HGLYPH RealizedFont::GlyphOf(char32_t ch) const {
  if (ch < impl_->firstGlyphs.size()) return impl_->firstGlyphs[ch];
  if (ch <= 0xFFFF) return impl_->glyphs.Lookup(static_cast<WCHAR>(ch));
  if (impl_->glyphs.FromSymbolMap()) return 0;
  FT_Face face = impl_->face->Face();
  const FT_UInt glyph =
      face->charmap && face->charmap->encoding == FT_ENCODING_UNICODE ? FT_Get_Char_Index(face, ch) : 0;
  return static_cast<FT_Long>(glyph) < face->num_glyphs ? glyph : 0;
}

bool RealizedFont::Turns(char32_t ch) const { return (impl_->fo.flFontType & FO_VERT_FACE) && ch >= 0x100; }
double RealizedFont::TurnedAdvance() const { return (impl_->ascent + impl_->descent) * impl_->scale; }
double RealizedFont::Cos() const { return impl_->cosA; }
double RealizedFont::Sin() const { return impl_->sinA; }

double RealizedFont::Advance(HGLYPH glyph) const {
  const bool kept = glyph < impl_->advances.size();
  if (kept && !std::isnan(impl_->advances[glyph])) return impl_->advances[glyph];
  FT_Fixed advance = 0;
  if (FT_Get_Advance(impl_->face->Face(), glyph, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
  const double pixels = static_cast<double>(advance) * impl_->scale;
  if (kept) impl_->advances[glyph] = pixels;
  return pixels;
}

}  // namespace kq

namespace {

kq::RealizedFont::Impl* FontOf(FONTOBJ* pfo) {
  using kq::engine::EngineState;
  auto* impl = static_cast<kq::RealizedFont::Impl*>(
      pfo ? EngineState::Current().FindObject(pfo, EngineState::ObjectKind::Font) : nullptr);
  if (!impl) SetLastError(ERROR_INVALID_PARAMETER);
  return impl;
}

}  // namespace

namespace kq::engine {

GlyphEntry* GlyphOf(FONTOBJ* pfo, HGLYPH glyph, bool turned) {
  const auto glyphs = FontGlyphs::Of(pfo);
  return glyphs ? &glyphs->Get(glyph, turned) : nullptr;
}

std::optional<FontGlyphs> FontGlyphs::Of(FONTOBJ* pfo) {
  auto* font = FontOf(pfo);
  if (!font) return std::nullopt;
  return FontGlyphs(font);
}

GlyphEntry& FontGlyphs::Get(HGLYPH glyph, bool turned) const {
  auto* font = font_;
  // A string asks for each of its glyphs: the common ones are found in a table.
  const bool direct = !turned && glyph < RealizedFont::Impl::kDirectGlyphs;
  if (direct && !font->directOutlines.empty() && font->directOutlines[glyph]) return *font->directOutlines[glyph];
  // Glyph handles are 16-bit: the top bit keys the vertical forms.
  auto& entry = font->outlines[turned ? glyph | 0x80000000u : glyph];
  if (!entry) {
    entry = std::make_unique<GlyphEntry>();
    PathData outline;
    FT_Face face = font->face->Face();
    FT_Fixed advance = 0;
    if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
    GlyphLayout layout;
    layout.scale = font->scale;
    layout.slant = font->fo.flFontType & FO_SIM_ITALIC ? kItalicSlant : 0;
    layout.cosA = font->cosA;
    layout.sinA = font->sinA;
    if (turned) {
      // The glyph's top at the pen, its advance centred across the line as a reader centres a vertical glyph.
      layout.turned = true;
      layout.turnX = font->ascent * font->scale;
      layout.turnY = (static_cast<double>(advance) - font->ascent + font->descent) / 2 * font->scale;
    }
    const double along = turned ? font->ascent + font->descent : static_cast<double>(advance);
    BuildGlyphOutline(face, glyph, layout, along, font->fo.flFontType & FO_SIM_BOLD, &outline, &entry->data);
    SetData(entry->path, std::move(outline));
    entry->def.ppo = entry->path.Object();
    entry->data.gdf = entry->def;
  }
  if (direct) {
    if (font->directOutlines.empty()) font->directOutlines.assign(RealizedFont::Impl::kDirectGlyphs, nullptr);
    font->directOutlines[glyph] = entry.get();
  }
  return *entry;
}

}  // namespace kq::engine

IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo) {
  auto* font = FontOf(pfo);
  return font ? font->ifi.As<IFIMETRICS>() : nullptr;
}

XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo) {
  auto* font = FontOf(pfo);
  return font ? font->xform->Object() : nullptr;
}

FD_GLYPHSET* FONTOBJ_pfdg(FONTOBJ* pfo) {
  auto* font = FontOf(pfo);
  return font ? font->glyphs.Get() : nullptr;
}

ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph) {
  if (ppvGlyph) *ppvGlyph = nullptr;
  if (iMode != FO_PATHOBJ) {
    SetLastError(iMode == FO_GLYPHBITS ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cGlyph != 1 || !phg || !ppvGlyph) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  kq::engine::GlyphEntry* entry = kq::engine::GlyphOf(pfo, *phg);
  if (!entry) return 0;
  *ppvGlyph = &entry->data;
  return 1;
}

PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ* pfo, ULONG* pcjFile) {
  auto* font = FontOf(pfo);
  if (pcjFile) *pcjFile = font ? font->mapped->Size() : 0;
  return font ? const_cast<BYTE*>(font->mapped->Data()) : nullptr;
}
