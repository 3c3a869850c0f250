// XLATEOBJs: colour translations and their accessors.
#include "xlate_object.h"

#include <algorithm>
#include <cstdint>

#include "color_format.h"
#include "object_registration.h"

namespace kq {

namespace {
using Kind = engine::EngineState::ObjectKind;

// The translation this thread found last (XLATEOBJ_iXlate): drivers translate pixel by pixel, and finding an object
// takes the engine's lock. Neither a translation's identity nor a machine's serial is used twice in the process; a
// translation that goes also forgets itself here.
struct LastTranslation {
  std::uint64_t machine = 0;
  const XLATEOBJ* object = nullptr;
  ULONG uniq = 0;
  XlateObject::Impl* impl = nullptr;
};
thread_local LastTranslation tLast;
}  // namespace

class XlateObject::Impl {
 public:
  Impl() : registration(&xo, Kind::Xlate, this) { xo.iUniq = engine::EngineState::NextXlateUniq(); }
  ~Impl() {
    if (tLast.impl == this) tLast = {};
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  ULONG Translate(ULONG value) const {
    if (xo.flXlate & XO_TABLE) return value < table.size() ? table[value] : 0;
    if (convert) return destination->FromRgb(source->ToRgb(value));
    return value;
  }

  XLATEOBJ xo{};
  engine::Registration registration;
  std::optional<engine::ColorFormat> source, destination;
  std::vector<ULONG> table;
  bool convert = false;  // through the colours of the two formats
};

XlateObject::XlateObject(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XlateObject::~XlateObject() = default;

std::unique_ptr<XlateObject> XlateObject::Identity() {
  auto impl = std::make_unique<Impl>();
  impl->xo.flXlate = XO_TRIVIAL;
  return std::unique_ptr<XlateObject>(new XlateObject(std::move(impl)));
}

std::unique_ptr<XlateObject> XlateObject::Between(const PaletteInfo& source, const PaletteInfo& destination) {
  auto impl = std::make_unique<Impl>();
  impl->source = engine::ColorFormat::Of(source);
  impl->destination = engine::ColorFormat::Of(destination);
  XLATEOBJ& xo = impl->xo;
  xo.iSrcType = static_cast<USHORT>(source.mode);
  xo.iDstType = static_cast<USHORT>(destination.mode);
  const bool same = impl->source->SameAs(*impl->destination);
  if (impl->source->Indexed()) {
    // Indexed sources always carry their table, so a driver can copy it as the image's palette.
    const ULONG n = static_cast<ULONG>(impl->source->Palette().colors.size());
    for (ULONG i = 0; i < n; ++i) impl->table.push_back(same ? i : impl->destination->FromRgb(impl->source->ToRgb(i)));
    xo.flXlate = XO_TABLE;
    xo.cEntries = n;
    xo.pulXlate = impl->table.data();
  } else {
    impl->convert = !same;
  }
  if (same) xo.flXlate |= XO_TRIVIAL;
  if (impl->destination->Indexed() && impl->destination->Palette().colors.size() == 2) xo.flXlate |= XO_TO_MONO;
  return std::unique_ptr<XlateObject>(new XlateObject(std::move(impl)));
}

std::unique_ptr<XlateObject> XlateObject::Table(std::vector<ULONG> entries) {
  auto impl = std::make_unique<Impl>();
  PaletteInfo source;
  source.mode = PAL_INDEXED;
  source.colors = entries;
  impl->source = engine::ColorFormat::Of(source);
  impl->table = std::move(entries);
  impl->xo.flXlate = XO_TABLE;
  impl->xo.iSrcType = PAL_INDEXED;
  impl->xo.cEntries = static_cast<ULONG>(impl->table.size());
  impl->xo.pulXlate = impl->table.empty() ? nullptr : impl->table.data();
  return std::unique_ptr<XlateObject>(new XlateObject(std::move(impl)));
}

XLATEOBJ* XlateObject::Object() { return &impl_->xo; }

ULONG XlateObject::Translate(ULONG value) const { return impl_->Translate(value); }

}  // namespace kq

namespace kq::engine {

namespace {

XlateObject::Impl* ImplOf(XLATEOBJ* pxlo) { return FindObject<XlateObject::Impl>(pxlo, EngineState::ObjectKind::Xlate); }

}  // namespace

std::optional<Translator> Translator::Of(XLATEOBJ* pxlo) {
  Translator t;
  if (!pxlo) return t;
  if (auto* impl = static_cast<XlateObject::Impl*>(EngineState::Current().FindObject(pxlo, EngineState::ObjectKind::Xlate))) {
    if ((pxlo->flXlate & XO_TABLE) || impl->convert) t.object_ = impl;
    return t;
  }
  if (pxlo->flXlate & XO_TABLE) {
    if (!pxlo->pulXlate && pxlo->cEntries) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return std::nullopt;
    }
    static const ULONG kNone = 0;
    t.table_ = pxlo->pulXlate ? pxlo->pulXlate : &kNone;
    t.entries_ = pxlo->cEntries;
    return t;
  }
  if (pxlo->flXlate & XO_TRIVIAL) return t;
  SetLastError(ERROR_INVALID_PARAMETER);
  return std::nullopt;
}

ULONG Translator::Translate(const XlateObject::Impl* object, ULONG value) { return object->Translate(value); }

}  // namespace kq::engine

ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor) {
  if (!pxlo) return iColor;  // no translation
  auto& last = kq::tLast;
  const std::uint64_t machine = kq::CurrentMachine().Serial();
  if (machine != 0 && last.machine == machine && last.object == pxlo && last.uniq == pxlo->iUniq)
    return last.impl->Translate(iColor);
  auto* impl = kq::engine::ImplOf(pxlo);
  if (!impl) return 0;
  last = {machine, pxlo, pxlo->iUniq, impl};
  return impl->Translate(iColor);
}

ULONG XLATEOBJ_cGetPalette(XLATEOBJ* pxlo, ULONG iPal, ULONG cPal, ULONG* pPal) {
  auto* impl = kq::engine::ImplOf(pxlo);
  if (!impl) return 0;
  const std::optional<kq::engine::ColorFormat>& format =
      iPal == XO_SRCPALETTE || iPal == XO_SRCBITFIELDS ? impl->source : impl->destination;
  std::vector<ULONG> entries;
  if (format && (iPal == XO_SRCPALETTE || iPal == XO_DESTPALETTE || iPal == XO_DESTDCPALETTE) && format->Indexed()) {
    entries = format->Palette().colors;
  } else if (format && (iPal == XO_SRCBITFIELDS || iPal == XO_DESTBITFIELDS)) {
    const kq::PaletteInfo& p = format->Palette();
    switch (p.mode) {
      case PAL_BITFIELDS: entries = {p.red, p.green, p.blue}; break;
      case PAL_RGB: entries = {0x0000FF, 0x00FF00, 0xFF0000}; break;
      case PAL_BGR: entries = {0xFF0000, 0x00FF00, 0x0000FF}; break;
      default: break;
    }
  }
  if (entries.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!pPal) return static_cast<ULONG>(entries.size());
  const ULONG n = std::min<ULONG>(cPal, static_cast<ULONG>(entries.size()));
  std::copy_n(entries.begin(), n, pPal);
  return n;
}
