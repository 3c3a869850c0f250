// The engine's per-machine state: handle tables of surfaces, palettes and devices, the settings, and the counters
// that give fonts their identities.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "win/engine.h"

namespace kq::engine {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

struct Surface {
  SURFOBJ so{};
  std::unique_ptr<BYTE, FreeDeleter> ownedBits;
  FLONG hooks = 0;
  ULONG locks = 0;
  std::shared_ptr<const PaletteInfo> palette;  // the colours of its pixels when known (SetSurfacePalette)
  LONG styleStep[3] = {1, 1, 1};                // cosmetic styles: x step, y step, denominator
  bool deleted = false;  // the handle is gone; freed at the last unlock
};

class EngineState {
 public:
  explicit EngineState(Machine& machine);
  EngineState(const EngineState&) = delete;
  EngineState& operator=(const EngineState&) = delete;

  static EngineState& Current();

  std::mutex& Mutex() { return mutex_; }

  // All below expect Mutex() held.
  ULONGLONG bitmapLimit = kDefaultEngineBitmapLimit;

  ULONG_PTR NewHandle() { return nextHandle_ += 4; }
  ULONG NextSurfaceUniq() { return ++surfaceUniq_; }
  // Identities of clip regions and colour translations; never 0, which tells a driver not to cache.
  ULONG NextClipUniq() { return ++clipUniq_ ? clipUniq_ : ++clipUniq_; }
  // Translations count across the process's machines, so a translation's identity and address never match one
  // that lived before on another machine (XLATEOBJ_iXlate remembers the last one by them).
  static ULONG NextXlateUniq();

  Surface* AddSurface(std::unique_ptr<Surface> surface);  // gives it its handle
  Surface* FindSurface(HSURF hsurf);
  Surface* FindSurface(const SURFOBJ* so);
  void ReleaseSurface(Surface* surface);  // frees it when neither a handle nor a lock holds it
  void DropHandle(Surface* surface);

  std::unordered_map<ULONG_PTR, DHPDEV> devices;
  std::unordered_map<ULONG_PTR, PaletteInfo> palettes;

  // The objects the engine hands drivers, so an accessor can tell its own objects from anything else. These take
  // the mutex themselves.
  enum class ObjectKind { Font, String, Xform, Path, Clip, Brush, Xlate };
  void RegisterObject(const void* object, ObjectKind kind, void* owner);
  void UnregisterObject(const void* object);
  void* FindObject(const void* object, ObjectKind kind);

  // Font identities: one per realisation, per font file, and per face of a file.
  ULONG NextFontUniq() { return ++fontUniq_; }
  ULONG_PTR FileId(const std::filesystem::path& file);
  ULONG_PTR FaceId(const std::filesystem::path& file, UINT face);

 private:
  std::mutex mutex_;
  ULONG_PTR nextHandle_ = 0x10000;
  ULONG surfaceUniq_ = 0;
  ULONG fontUniq_ = 0;
  ULONG clipUniq_ = 0;
  std::unordered_map<const SURFOBJ*, std::unique_ptr<Surface>> surfaces_;
  std::unordered_map<ULONG_PTR, Surface*> surfaceHandles_;
  std::unordered_map<const void*, std::pair<ObjectKind, void*>> objects_;
  std::map<std::filesystem::path, ULONG_PTR> files_;
  std::map<std::pair<std::filesystem::path, UINT>, ULONG_PTR> faces_;
};

}  // namespace kq::engine
