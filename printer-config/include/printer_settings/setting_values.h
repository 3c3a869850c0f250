// The meanings of the settings' option values, named once for every reader and writer of the settings record and
// of the printer's values: the driver, the font room, the configuration pages, the defaults and the print tool
// (whose words for the choices are the `name`s of the tables here). Header-only.
#pragma once

namespace setting_value {

// Every yes/no setting (ImageCompress, Overwrite, PPOption, UseDefFileName, OpenFile, GDIPunt, FontWarnMsg,
// MergeImages, PDFA1B, Upload, IgnoreBackground, Batch).
inline constexpr int kNo = 0;
inline constexpr int kYes = 1;

// "FontEmbed": which fonts are embedded.
inline constexpr int kEmbedNone = 0;
inline constexpr int kEmbedListed = 1;       // the fonts of the printer's "FFaces" list
inline constexpr int kEmbedAll = 2;          // every font (also what PDF/A-1b asks for)
inline constexpr int kEmbedNonStandard = 3;  // every font but the standard faces, which stay named

// "PDFVersion": the minor version times ten plus ten, 13 for 1.3.
inline constexpr int kPdf13 = 13;
inline constexpr int kPdf14 = 14;
inline constexpr int kPdf15 = 15;

// "UOM": the unit of the Layout page.
inline constexpr int kUnitInch = 0;
inline constexpr int kUnitCentimeter = 1;
inline constexpr int kUnitMillimeter = 2;

// A choice's word and what it means (empty when the word says it all).
struct Named {
  const char* name;
  int number;
  const char* meaning;
};

inline constexpr Named kFontEmbedNames[] = {{"none", kEmbedNone, "no font"},
                                            {"listed", kEmbedListed, "the fonts of the printer's FFaces list"},
                                            {"all", kEmbedAll, "every font"},
                                            {"standard", kEmbedNonStandard, "every font but the standard ones"}};
inline constexpr Named kPdfVersionNames[] = {{"1.3", kPdf13, ""}, {"1.4", kPdf14, ""}, {"1.5", kPdf15, ""}};
inline constexpr Named kUnitNames[] = {
    {"inch", kUnitInch, ""}, {"centimeter", kUnitCentimeter, ""}, {"millimeter", kUnitMillimeter, ""}};

}  // namespace setting_value
