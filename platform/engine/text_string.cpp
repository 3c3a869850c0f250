// Strings of text-out calls: the STROBJ with its glyph positions, and its enumeration.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine_state.h"
#include "glyph_outline.h"
#include "path_data.h"
#include "win/enginefont.h"

namespace kq {

namespace {

// std::round (halves away from zero) without the library call, for a value a glyph position can take.
double RoundHalfAway(double v) {
  constexpr double kAllWhole = 4503599627370496.0;  // 2^52: every double from here on is whole
  if (!(std::fabs(v) < kAllWhole)) return std::round(v);
  // Below 2^52 the sum with the largest double under a half rounds past the next whole number exactly when the
  // value is at least half way to it; the cast cuts towards zero, without a branch to mispredict.
  const double nudged = v + std::copysign(0.49999999999999994, v);
  return std::copysign(static_cast<double>(static_cast<std::int64_t>(nudged)), v);
}

}  // namespace

class TextString::Impl {
 public:
  ~Impl() {
    if (auto owner = machine.lock()) owner->Service<engine::EngineState>().UnregisterObject(&so);
  }

  std::weak_ptr<Machine> machine;  // weakly: a machine's own services may keep engine objects
  WString text;
  std::vector<GLYPHPOS> positions;
  std::vector<bool> turned;  // per glyph: the vertical form of an "@" face
  ULONG batch = 0;
  ULONG cursor = 0;
  ULONG glyphMode = FO_HGLYPHS;
  FONTOBJ* font = nullptr;  // looked up again when outlines are asked for, so a font gone is noticed
  ULONG fontUniq = 0;
  STROBJ so{};
};

TextString::TextString(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextString::~TextString() = default;

std::unique_ptr<TextString> TextString::Build(const RealizedFont& font, const TextRequest& request) {
  auto impl = std::make_unique<Impl>();
  impl->text = request.text;
  impl->batch = request.batch;
  impl->glyphMode = request.glyphMode;
  impl->font = const_cast<RealizedFont&>(font).Object();
  impl->fontUniq = impl->font->iUniq;
  impl->positions.reserve(request.text.size());
  // Turned glyphs are rare: every glyph starts upright and the list is cut to the glyphs at the end.
  impl->turned.assign(request.text.size(), false);
  // The pen runs along the baseline, which the escapement turns.
  const double cosA = font.Cos(), sinA = font.Sin();
  double pen = 0;
  const WString& text = request.text;
  // Positions are worked out in floating point; the string ends before the first glyph that leaves the device's
  // coordinate space, which no page reaches.
  const auto inside = [](double v) { return std::fabs(v) <= static_cast<double>(engine::kMaxDeviceCoordinate); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const double x = request.origin.x + RoundHalfAway(pen * cosA), y = request.origin.y - RoundHalfAway(pen * sinA);
    if (!inside(x) || !inside(y)) {
      impl->text.resize(i);
      break;
    }
    GLYPHPOS pos{};
    bool turned = false;
    if (request.glyphIndices) {
      pos.hg = text[i];
    } else {
      char32_t ch = text[i];
      // A surrogate pair is one character and one glyph; a lone surrogate is a character of its own.
      if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
        ch = 0x10000 + ((ch - 0xD800) << 10) + (text[++i] - 0xDC00);
      pos.hg = font.GlyphOf(ch);
      turned = font.Turns(ch);
    }
    pos.ptl = {static_cast<LONG>(x), static_cast<LONG>(y)};
    impl->positions.push_back(pos);
    if (turned) impl->turned[impl->positions.size() - 1] = true;
    if (impl->positions.size() <= request.advances.size())
      pen += request.advances[impl->positions.size() - 1];
    else
      pen += turned ? font.TurnedAdvance() : font.Advance(pos.hg);
  }

  impl->turned.resize(impl->positions.size());

  const IFIMETRICS& ifi = font.Metrics();
  const double unitsToPixels = font.EmPixels() / ifi.fwdUnitsPerEm;
  STROBJ& so = impl->so;
  so.cGlyphs = static_cast<ULONG>(impl->positions.size());
  FLONG direction = 0;
  if (sinA == 0) direction = SO_HORIZONTAL | (cosA < 0 ? SO_REVERSED : 0);
  if (cosA == 0) direction = SO_VERTICAL | (sinA > 0 ? SO_REVERSED : 0);
  so.flAccel = SO_FLAG_DEFAULT_PLACEMENT | direction | (request.glyphIndices ? SO_GLYPHINDEX_TEXTOUT : 0);
  so.ulCharInc = 0;
  // The box from the ascent above the baseline to the descent below it, turned with the baseline.
  const double ascent = std::ceil(ifi.fwdWinAscender * unitsToPixels);
  const double descent = std::ceil(ifi.fwdWinDescender * unitsToPixels);
  const double length = std::round(pen);
  double left = 0, top = 0, right = 0, bottom = 0;
  bool first = true;
  for (const double along : {0.0, length}) {
    for (const double down : {-ascent, descent}) {
      const double x = along * cosA + down * sinA, y = down * cosA - along * sinA;
      left = first ? x : std::min(left, x);
      right = first ? x : std::max(right, x);
      top = first ? y : std::min(top, y);
      bottom = first ? y : std::max(bottom, y);
      first = false;
    }
  }
  // The box, too, is held to the coordinate space (an advance that is not a number counts as none).
  const auto place = [](LONG origin, double offset) {
    const double limit = static_cast<double>(engine::kMaxDeviceCoordinate);
    const double v = std::isnan(offset) ? origin : origin + offset;
    return static_cast<LONG>(std::clamp(v, -limit, limit));
  };
  so.rclBkGround = {place(request.origin.x, std::floor(left)), place(request.origin.y, std::floor(top)),
                    place(request.origin.x, std::ceil(right)), place(request.origin.y, std::ceil(bottom))};
  so.pgp = impl->positions.empty() ? nullptr : impl->positions.data();
  so.pwszOrg = impl->text.data();
  const std::shared_ptr<Machine> machine = CurrentMachineShared();
  impl->machine = machine;
  machine->Service<engine::EngineState>().RegisterObject(&so, engine::EngineState::ObjectKind::String,
                                                               impl.get());
  return std::unique_ptr<TextString>(new TextString(std::move(impl)));
}

STROBJ* TextString::Object() { return &impl_->so; }

}  // namespace kq

namespace {

kq::TextString::Impl* StringOf(STROBJ* pstro) {
  using kq::engine::EngineState;
  auto* impl = static_cast<kq::TextString::Impl*>(
      pstro ? EngineState::Current().FindObject(pstro, EngineState::ObjectKind::String) : nullptr);
  if (!impl) SetLastError(ERROR_INVALID_PARAMETER);
  return impl;
}

}  // namespace

void STROBJ_vEnumStart(STROBJ* pstro) {
  if (auto* s = StringOf(pstro)) s->cursor = 0;
}

namespace kq::engine {

const std::vector<GLYPHPOS>* StringPositions(STROBJ* pstro) {
  auto* s = StringOf(pstro);
  return s ? &s->positions : nullptr;
}

const std::vector<bool>* StringTurns(STROBJ* pstro) {
  auto* s = StringOf(pstro);
  return s ? &s->turned : nullptr;
}

}  // namespace kq::engine

namespace {

// The next batch; with outlines, each position's pgdf points to its glyph's outline (null when the font is gone).
BOOL NextBatch(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos, bool outlines) {
  auto* s = StringOf(pstro);
  const ULONG total = s ? static_cast<ULONG>(s->positions.size()) : 0;
  const ULONG left = s ? total - s->cursor : 0;
  const ULONG count = s && s->batch ? std::min(s->batch, left) : left;
  if (pc) *pc = count;
  if (ppgpos) *ppgpos = count ? s->positions.data() + s->cursor : nullptr;
  if (!s) return FALSE;
  // The font may be gone, or another made in its place.
  using kq::engine::EngineState;
  FONTOBJ* font = nullptr;
  if (outlines && s->glyphMode == FO_PATHOBJ &&
      EngineState::Current().FindObject(s->font, EngineState::ObjectKind::Font) && s->font->iUniq == s->fontUniq)
    font = s->font;
  for (ULONG i = s->cursor; i < s->cursor + count; ++i) {
    GLYPHPOS& pos = s->positions[i];
    kq::engine::GlyphEntry* entry = font ? kq::engine::GlyphOf(font, pos.hg, s->turned[i]) : nullptr;
    pos.pgdf = entry ? &entry->def : nullptr;
  }
  s->cursor += count;
  return s->cursor < total ? TRUE : FALSE;
}

}  // namespace

BOOL STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos) {
  return NextBatch(pstro, pc, ppgpos, false);
}

BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos) { return NextBatch(pstro, pc, ppgpos, true); }
