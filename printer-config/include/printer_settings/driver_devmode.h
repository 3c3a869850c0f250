// The printer's settings record: the public device-mode record (220 bytes) followed by the driver's private part
// (1716 bytes), 1936 bytes in all, little-endian, in the layout the spooler stores and hands to the driver. Shared
// by the configuration module and the driver.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/devmode.h"

inline constexpr WORD kDriverPublicSize = 220;
inline constexpr WORD kDriverPrivateSize = 1716;
inline constexpr DWORD kDriverDevModeSize = 1936;
inline constexpr WORD kDriverVersion = 0x0401;
// The fields a record of this printer carries (DC_FIELDS answers the same).
inline constexpr DWORD kDriverDevModeFields = 0x0781FF5F;
inline constexpr int kDriverPathChars = 260;

// The private part. Wide strings end with a zero inside their field; the option bytes hold the listed values.
struct DriverPrivate {
  DWORD reserved0;                 // always 0
  DWORD buildSerial;               // taken from a process-wide counter when the record is built
  WCHAR Folder[kDriverPathChars];  // output folder
  BYTE ImageCompress;              // lossy (JPEG) image compression: 0 or 1
  BYTE FontEmbed;                  // 0 none, 1 the listed fonts ("FFaces"), 2 all fonts, 3 non-standard fonts
  BYTE Overwrite;                  // overwrite an existing output file without asking: 0 or 1
  BYTE PDFVersion;                 // 13, 14 or 15 for PDF 1.3, 1.4, 1.5
  WORD BitmapFontSize;             // bitmap font size in pixels
  BYTE ColorSpace;                 // colour space choice
  BYTE reserved1;
  WCHAR ICCProfile[kDriverPathChars];  // ICC profile path
  BYTE UOM;                            // unit of the Layout page: 0 inch, 1 centimetre, 2 millimetre
  BYTE IgnoreBackground;               // ignore drawing that depends on the background: 0 or 1
  BYTE PPOption;                       // 1 runs the post-processor on the finished file
  BYTE alwaysOne;                      // always 1
  BYTE UseDefFileName;                 // name the output from folder and title without asking: 0 or 1
  BYTE OpenFile;                       // open the finished file: 0 or 1
  BYTE GDIPunt;                        // transparent imaging model (page bitmap, resolution capped at 300): 0 or 1
  BYTE FontWarnMsg;                    // warn when a font cannot be embedded: 0 or 1
  BYTE MergeImages;                    // merge large batches of small images into one: 0 or 1
  BYTE PDFA1B;                         // PDF/A-1b output (implies font embedding 2): 0 or 1
  BYTE Upload;                         // upload flag, carried to the driver: 0 or 1
  BYTE reserved2[649];
};

struct DriverDevMode {
  DEVMODEW dm;
  DriverPrivate priv;
};

static_assert(sizeof(DriverPrivate) == kDriverPrivateSize);
static_assert(sizeof(DriverDevMode) == kDriverDevModeSize);
static_assert(offsetof(DriverDevMode, dm) == 0);
static_assert(offsetof(DriverDevMode, priv) == kDriverPublicSize);

// Offsets from the start of the record.
#define KQ_PRIVATE_AT(field, offset) \
  static_assert(offsetof(DriverDevMode, priv) + offsetof(DriverPrivate, field) == (offset), #field)
KQ_PRIVATE_AT(reserved0, 220);
KQ_PRIVATE_AT(buildSerial, 224);
KQ_PRIVATE_AT(Folder, 228);
KQ_PRIVATE_AT(ImageCompress, 748);
KQ_PRIVATE_AT(FontEmbed, 749);
KQ_PRIVATE_AT(Overwrite, 750);
KQ_PRIVATE_AT(PDFVersion, 751);
KQ_PRIVATE_AT(BitmapFontSize, 752);
KQ_PRIVATE_AT(ColorSpace, 754);
KQ_PRIVATE_AT(reserved1, 755);
KQ_PRIVATE_AT(ICCProfile, 756);
KQ_PRIVATE_AT(UOM, 1276);
KQ_PRIVATE_AT(IgnoreBackground, 1277);
KQ_PRIVATE_AT(PPOption, 1278);
KQ_PRIVATE_AT(alwaysOne, 1279);
KQ_PRIVATE_AT(UseDefFileName, 1280);
KQ_PRIVATE_AT(OpenFile, 1281);
KQ_PRIVATE_AT(GDIPunt, 1282);
KQ_PRIVATE_AT(FontWarnMsg, 1283);
KQ_PRIVATE_AT(MergeImages, 1284);
KQ_PRIVATE_AT(PDFA1B, 1285);
KQ_PRIVATE_AT(Upload, 1286);
KQ_PRIVATE_AT(reserved2, 1287);
#undef KQ_PRIVATE_AT
