// BRUSHOBJs: solid, pattern and hatch brushes, their realisation and accessors.
#include "brush_object.h"

#include <cstring>

#include "object_registration.h"
#include "pixels.h"

namespace kq {

namespace {

using Kind = engine::EngineState::ObjectKind;
constexpr LONG kMaxPattern = 1024;
// Far above what a driver keeps per brush; bounds what a bad size asks for.
constexpr ULONG kMaxRealization = 64u << 20;

bool HatchLine(ULONG style, int x, int y) {
  switch (style) {
    case HS_HORIZONTAL: return y == 4;
    case HS_VERTICAL: return x == 4;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 4 || y == 4;
    default: return x == y || x + y == 7;
  }
}

}  // namespace

class BrushObject::Impl {
 public:
  Impl() : registration(&bo, Kind::Brush, this), machine(CurrentMachineShared()) {}
  ~Impl() {
    if (!pattern) return;
    // The pattern bitmap is the machine's; free it there.
    if (auto owner = machine.lock()) {
      MachineScope scope(owner);
      const HSURF hsurf = pattern->hsurf;
      EngUnlockSurface(pattern);
      EngDeleteSurface(hsurf);
    }
  }

  // Keeps a copy of `source` as the brush's pattern bitmap.
  bool CopyPattern(const engine::Pixels& pixels) {
    const HBITMAP hbm = EngCreateBitmap(SIZEL{pixels.Width(), pixels.Height()}, 0, pixels.Format(), BMF_TOPDOWN, nullptr);
    if (!hbm) return false;
    pattern = EngLockSurface(reinterpret_cast<HSURF>(hbm));
    const auto copy = engine::Pixels::Of(pattern);
    const std::size_t rowBytes = (static_cast<std::size_t>(pixels.Width()) * pixels.Bits() + 7) / 8;
    for (LONG y = 0; y < pixels.Height(); ++y) std::memcpy(copy->Row(y), pixels.Row(y), rowBytes);
    return true;
  }

  BRUSHOBJ bo{};
  engine::Registration registration;
  std::weak_ptr<Machine> machine;
  std::vector<ULONG> values;  // the pattern in target values, row by row
  std::vector<BYTE> lines;    // a hatch's lines
  LONG width = 1, height = 1;
  SURFOBJ* pattern = nullptr;  // locked for the brush's life
  std::unique_ptr<XlateObject> xlate;
  ULONG hatch = HS_DDI_MAX;
  Realizer realize;
  SURFOBJ* target = nullptr;
  std::vector<std::unique_ptr<std::uint64_t[]>> blocks;
};

BrushObject::BrushObject(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
BrushObject::~BrushObject() = default;

std::unique_ptr<BrushObject> BrushObject::Solid(ULONG color) {
  auto impl = std::make_unique<Impl>();
  impl->bo.iSolidColor = color;
  return std::unique_ptr<BrushObject>(new BrushObject(std::move(impl)));
}

std::unique_ptr<BrushObject> BrushObject::Pattern(const SURFOBJ* pattern, std::unique_ptr<XlateObject> xlate) {
  const auto pixels = engine::Pixels::Of(pattern);
  if (!pixels || pixels->Width() > kMaxPattern || pixels->Height() > kMaxPattern) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->bo.iSolidColor = 0xFFFFFFFF;
  impl->width = pixels->Width();
  impl->height = pixels->Height();
  impl->values.reserve(static_cast<std::size_t>(impl->width) * impl->height);
  for (LONG y = 0; y < impl->height; ++y)
    for (LONG x = 0; x < impl->width; ++x) {
      const ULONG v = pixels->Get(x, y);
      impl->values.push_back(xlate ? xlate->Translate(v) : v);
    }
  if (!impl->CopyPattern(*pixels)) return nullptr;
  impl->xlate = std::move(xlate);
  return std::unique_ptr<BrushObject>(new BrushObject(std::move(impl)));
}

std::unique_ptr<BrushObject> BrushObject::Hatch(ULONG style, ULONG foreground, ULONG background) {
  if (style >= HS_DDI_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->bo.iSolidColor = 0xFFFFFFFF;
  impl->hatch = style;
  impl->width = impl->height = 8;
  BYTE rows[8 * 4] = {};  // a one-bit 8 x 8 bitmap, rows DWORD aligned
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool line = HatchLine(style, x, y);
      impl->lines.push_back(line);
      impl->values.push_back(line ? foreground : background);
      if (line) rows[y * 4] = static_cast<BYTE>(rows[y * 4] | (0x80 >> x));
    }
  SURFOBJ source{};
  source.sizlBitmap = {8, 8};
  source.pvBits = source.pvScan0 = rows;
  source.lDelta = 4;
  source.iBitmapFormat = BMF_1BPP;
  if (!impl->CopyPattern(*engine::Pixels::Of(&source))) return nullptr;
  impl->xlate = XlateObject::Table({background, foreground});
  return std::unique_ptr<BrushObject>(new BrushObject(std::move(impl)));
}

void BrushObject::SetRealizer(Realizer realize, SURFOBJ* target) {
  impl_->realize = std::move(realize);
  impl_->target = target;
}

BRUSHOBJ* BrushObject::Object() { return &impl_->bo; }

}  // namespace kq

namespace kq::engine {

namespace {

BrushObject::Impl* ImplOf(BRUSHOBJ* pbo) { return FindObject<BrushObject::Impl>(pbo, EngineState::ObjectKind::Brush); }

}  // namespace

std::optional<BrushSampler> BrushSampler::Of(BRUSHOBJ* pbo, const POINTL* origin) {
  BrushSampler sampler;
  if (!pbo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  sampler.color_ = pbo->iSolidColor;
  if (origin) sampler.origin_ = *origin;
  auto* impl = static_cast<BrushObject::Impl*>(EngineState::Current().FindObject(pbo, EngineState::ObjectKind::Brush));
  if (!impl) {
    if (pbo->iSolidColor == 0xFFFFFFFF) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return std::nullopt;
    }
    return sampler;
  }
  if (!impl->values.empty()) {
    sampler.values_ = &impl->values;
    sampler.lines_ = impl->lines.empty() ? nullptr : &impl->lines;
    sampler.width_ = impl->width;
    sampler.height_ = impl->height;
  }
  return sampler;
}

}  // namespace kq::engine

ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo) {
  auto* impl = kq::engine::ImplOf(pbo);
  return impl ? impl->bo.iSolidColor : 0xFFFFFFFF;
}

PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj) {
  auto* impl = kq::engine::ImplOf(pbo);
  if (!impl) return nullptr;
  if (cj > kq::kMaxRealization) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Zeroed and 8-byte aligned; the brush frees it.
  impl->blocks.push_back(std::make_unique<std::uint64_t[]>(std::max<ULONG>(cj, 1) / 8 + 1));
  return impl->blocks.back().get();
}

PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo) {
  auto* impl = kq::engine::ImplOf(pbo);
  if (!impl) return nullptr;
  if (impl->bo.pvRbrush || !impl->realize) return impl->bo.pvRbrush;
  const std::size_t before = impl->blocks.size();
  const BOOL ok = impl->realize(&impl->bo, impl->target, impl->pattern, nullptr,
                                impl->xlate ? impl->xlate->Object() : nullptr, impl->hatch);
  // The realisation is the block the driver allocated while realising.
  if (ok && impl->blocks.size() > before) impl->bo.pvRbrush = impl->blocks.back().get();
  return impl->bo.pvRbrush;
}
