// Accepting a caller's settings record into the printer's defaults.
#include <cstddef>
#include <cstring>

#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"

namespace {

constexpr DWORD kPaperFields = DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;

// The caller's record, read field by field and only inside its own public size.
class SourceRecord {
 public:
  explicit SourceRecord(const DEVMODEW* src) : bytes_(reinterpret_cast<const BYTE*>(src)) {
    std::memcpy(&size_, bytes_ + offsetof(DEVMODEW, dmSize), sizeof size_);
    std::memcpy(&extra_, bytes_ + offsetof(DEVMODEW, dmDriverExtra), sizeof extra_);
    fields_ = Has(offsetof(DEVMODEW, dmFields), sizeof(DWORD)) ? Read<DWORD>(offsetof(DEVMODEW, dmFields)) : 0;
  }

  // The field at `offset`, when the record's public part holds it and its flag is set.
  template <class T>
  bool Take(DWORD flag, std::size_t offset, T* value) const {
    if (!(fields_ & flag) || !Has(offset, sizeof(T))) return false;
    *value = Read<T>(offset);
    return true;
  }
  bool HasOwnPrivatePart() const { return extra_ >= kDriverPrivateSize; }
  void CopyPrivate(DriverPrivate* out) const { std::memcpy(out, bytes_ + size_, sizeof *out); }
  // dmFormName, cut to fit (the record's end, 31 characters) and terminated; an empty name is none.
  bool TakeFormName(WCHAR* out) const {
    constexpr std::size_t at = offsetof(DEVMODEW, dmFormName);
    if (!(fields_ & DM_FORMNAME) || !Has(at, sizeof(WCHAR))) return false;
    const std::size_t units = std::min<std::size_t>(CCHFORMNAME, (size_ - at) / sizeof(WCHAR));
    std::size_t n = 0;
    for (; n < units && n + 1 < CCHFORMNAME; ++n) {
      WCHAR c;
      std::memcpy(&c, bytes_ + at + n * sizeof c, sizeof c);
      if (c == 0) break;
      out[n] = c;
    }
    std::memset(out + n, 0, (CCHFORMNAME - n) * sizeof(WCHAR));
    return n > 0;
  }

 private:
  bool Has(std::size_t offset, std::size_t width) const { return offset + width <= size_; }
  template <class T>
  T Read(std::size_t offset) const {
    T value;
    std::memcpy(&value, bytes_ + offset, sizeof value);
    return value;
  }

  const BYTE* bytes_;
  WORD size_ = 0;
  WORD extra_ = 0;
  DWORD fields_ = 0;
};

SHORT Resolution(SHORT value, bool transparent) { return value < 72 || (transparent && value > 300) ? 300 : value; }

}  // namespace

void MergeDevMode(DriverDevMode* dst, const DEVMODEW* src, HANDLE printer) {
  if (!dst || !src) return;
  const SourceRecord source(src);
  DEVMODEW& dm = dst->dm;

  // The private part first, so the resolution rule sees the transparency the merged record will have.
  if (source.HasOwnPrivatePart()) {
    const DriverPrivate defaults = dst->priv;
    source.CopyPrivate(&dst->priv);
    NormalizePrivate(dst->priv, defaults);
  }
  const bool transparent = dst->priv.GDIPunt != 0;

  source.Take(DM_ORIENTATION, offsetof(DEVMODEW, dmOrientation), &dm.dmOrientation);
  SHORT scale = 0;
  if (source.Take(DM_SCALE, offsetof(DEVMODEW, dmScale), &scale)) dm.dmScale = scale > 0 ? scale : 100;
  SHORT quality = 0;
  if (source.Take(DM_PRINTQUALITY, offsetof(DEVMODEW, dmPrintQuality), &quality))
    dm.dmPrintQuality = Resolution(quality, transparent);
  SHORT yResolution = 0;
  if (source.Take(DM_YRESOLUTION, offsetof(DEVMODEW, dmYResolution), &yResolution))
    dm.dmYResolution = Resolution(yResolution, transparent);

  // Paper: the first rule that applies. A paper number names a form only when the printer has it.
  SHORT paperSize = 0, length = 0, width = 0;
  WCHAR formName[CCHFORMNAME] = {};
  if (source.Take(DM_PAPERSIZE, offsetof(DEVMODEW, dmPaperSize), &paperSize) && paperSize >= 1 &&
      paperSize < DMPAPER_USER && GetFormByIndex(printer, paperSize, &length, &width, formName)) {
    dm.dmFields |= kPaperFields;
    dm.dmPaperSize = paperSize;
    dm.dmPaperLength = length;
    dm.dmPaperWidth = width;
    std::memcpy(dm.dmFormName, formName, sizeof formName);
  } else if (source.Take(DM_PAPERLENGTH, offsetof(DEVMODEW, dmPaperLength), &length) &&
             source.Take(DM_PAPERWIDTH, offsetof(DEVMODEW, dmPaperWidth), &width) && length >= 1 && width >= 1) {
    dm.dmFields |= kPaperFields;
    dm.dmPaperSize = DMPAPER_USER;
    dm.dmPaperLength = length;
    dm.dmPaperWidth = width;
    lstrcpynW(dm.dmFormName, kCustomFormName, CCHFORMNAME);
  } else if (source.TakeFormName(formName)) {
    dm.dmFields |= kPaperFields;
    std::memcpy(dm.dmFormName, formName, sizeof formName);
    GetFormByName(printer, dm.dmFormName, &dm.dmPaperLength, &dm.dmPaperWidth, &dm.dmPaperSize);
  }
}
