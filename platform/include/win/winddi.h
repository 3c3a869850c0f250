// The graphics engine's driver interface (DDI): the records the engine hands a printer driver and the driver hands
// back, their numbers and flags, the entry points a driver implements, and the engine's services and object
// accessors a driver calls. Layouts are the platform's x64 layouts. The engine's services act on the machine bound
// to the calling thread (win/machine.h); they report failure through their result and the thread's last error.
#pragma once

#include "win/base.h"
#include "win/devmode.h"
#include "win/gditypes.h"

// ---- Scalar types ----
using FLONG = ULONG;
using FIX = LONG;  // 28.4 fixed point
using FLOATL = FLOAT;
using FWORD = SHORT;
using UFWORD = USHORT;
using LDECI4 = LONG;
using PTRDIFF = LONG;  // byte offset from the start of the record that holds it
using HGLYPH = ULONG;
using ROP4 = ULONG;
using MIX = ULONG;
using PFN = LONG_PTR (*)();

inline constexpr HGLYPH HGLYPH_INVALID = 0xFFFFFFFF;
inline constexpr ULONG DDI_ERROR = 0xFFFFFFFF;

union FLOAT_LONG {
  FLOATL e;
  LONG l;
};
using PFLOAT_LONG = FLOAT_LONG*;

// ---- Engine handles ----
struct HSURF__;
using HSURF = HSURF__*;
struct DHSURF__;
using DHSURF = DHSURF__*;
struct DHPDEV__;
using DHPDEV = DHPDEV__*;
struct HDEV__;
using HDEV = HDEV__*;

// ---- Geometry in fixed point ----
struct POINTFIX {
  FIX x;
  FIX y;
};
using PPOINTFIX = POINTFIX*;

struct RECTFX {
  FIX xLeft;
  FIX yTop;
  FIX xRight;
  FIX yBottom;
};

struct POINTQF {
  LONGLONG x;
  LONGLONG y;
};

static_assert(sizeof(POINTFIX) == 8 && sizeof(RECTFX) == 16 && sizeof(POINTQF) == 16);

// ---- Driver binding ----
struct DRVFN {
  ULONG iFunc;
  PFN pfn;
};

struct DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
};

static_assert(sizeof(DRVFN) == 16 && sizeof(DRVENABLEDATA) == 16);

inline constexpr ULONG DDI_DRIVER_VERSION_NT4 = 0x00020000;
inline constexpr ULONG DDI_DRIVER_VERSION_NT5 = 0x00030000;
inline constexpr ULONG DDI_DRIVER_VERSION_NT5_01 = 0x00030100;
inline constexpr DWORD DRVQUERY_USERMODE = 1;

// The standard fill patterns DrvEnablePDEV may supply: the table it is given has this many slots.
inline constexpr ULONG HS_DDI_MAX = 6;

// DrvEndDoc: the program aborted the document.
inline constexpr FLONG ED_ABORTDOC = 0x00000001;

// Function indexes of the driver's table.
inline constexpr ULONG INDEX_DrvEnablePDEV = 0;
inline constexpr ULONG INDEX_DrvCompletePDEV = 1;
inline constexpr ULONG INDEX_DrvDisablePDEV = 2;
inline constexpr ULONG INDEX_DrvEnableSurface = 3;
inline constexpr ULONG INDEX_DrvDisableSurface = 4;
inline constexpr ULONG INDEX_DrvResetPDEV = 7;
inline constexpr ULONG INDEX_DrvDisableDriver = 8;
inline constexpr ULONG INDEX_DrvRealizeBrush = 12;
inline constexpr ULONG INDEX_DrvStrokePath = 14;
inline constexpr ULONG INDEX_DrvFillPath = 15;
inline constexpr ULONG INDEX_DrvStrokeAndFillPath = 16;
inline constexpr ULONG INDEX_DrvBitBlt = 18;
inline constexpr ULONG INDEX_DrvCopyBits = 19;
inline constexpr ULONG INDEX_DrvStretchBlt = 20;
inline constexpr ULONG INDEX_DrvTextOut = 23;
inline constexpr ULONG INDEX_DrvEscape = 24;
inline constexpr ULONG INDEX_DrvLineTo = 31;
inline constexpr ULONG INDEX_DrvSendPage = 32;
inline constexpr ULONG INDEX_DrvStartPage = 33;
inline constexpr ULONG INDEX_DrvEndDoc = 34;
inline constexpr ULONG INDEX_DrvStartDoc = 35;
inline constexpr ULONG INDEX_DrvGetGlyphMode = 37;
inline constexpr ULONG INDEX_DrvGradientFill = 68;
inline constexpr ULONG INDEX_DrvStretchBltROP = 69;
inline constexpr ULONG INDEX_DrvPlgBlt = 70;
inline constexpr ULONG INDEX_DrvAlphaBlend = 71;
inline constexpr ULONG INDEX_DrvTransparentBlt = 74;
inline constexpr ULONG INDEX_DrvQueryDeviceSupport = 76;

// ---- Device information ----
struct CIECHROMA {
  LDECI4 x;
  LDECI4 y;
  LDECI4 Y;
};

struct COLORINFO {
  CIECHROMA Red;
  CIECHROMA Green;
  CIECHROMA Blue;
  CIECHROMA Cyan;
  CIECHROMA Magenta;
  CIECHROMA Yellow;
  CIECHROMA AlignmentWhite;
  LDECI4 RedGamma;
  LDECI4 GreenGamma;
  LDECI4 BlueGamma;
  LDECI4 MagentaInCyanDye;
  LDECI4 YellowInCyanDye;
  LDECI4 CyanInMagentaDye;
  LDECI4 YellowInMagentaDye;
  LDECI4 CyanInYellowDye;
  LDECI4 MagentaInYellowDye;
};
static_assert(sizeof(COLORINFO) == 120);

struct GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;  // millimetres
  ULONG ulVertSize;
  ULONG ulHorzRes;  // pixels
  ULONG ulVertRes;
  ULONG cBitsPixel;
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
  ULONG ulVRefresh;
  ULONG ulBltAlignment;
  ULONG ulPanningHorzRes;
  ULONG ulPanningVertRes;
  ULONG xPanningAlignment;
  ULONG yPanningAlignment;
  ULONG cxHTPat;
  ULONG cyHTPat;
  LPBYTE pHTPatA;
  LPBYTE pHTPatB;
  LPBYTE pHTPatC;
  ULONG flShadeBlend;
  ULONG ulPhysicalPixelCharacteristics;
  ULONG ulPhysicalPixelGamma;
};
static_assert(sizeof(GDIINFO) == 320);
static_assert(offsetof(GDIINFO, ptlPhysOffset) == 88 && offsetof(GDIINFO, ciDevice) == 108);
static_assert(offsetof(GDIINFO, ulDevicePelsDPI) == 228 && offsetof(GDIINFO, pHTPatA) == 280);

inline constexpr ULONG DT_RASPRINTER = 2;

struct DEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
  FLONG flGraphicsCaps2;
};
static_assert(sizeof(DEVINFO) == 312);
static_assert(offsetof(DEVINFO, cFonts) == 280 && offsetof(DEVINFO, hpalDefault) == 296);
static_assert(offsetof(DEVINFO, flGraphicsCaps2) == 304);

// The engine may hand JPEG- or PNG-compressed sources to the blits (BMF_JPEG, BMF_PNG: the file in pvBits, its size
// in cjBits).
inline constexpr FLONG GCAPS2_JPEGSRC = 0x00000001;
inline constexpr FLONG GCAPS2_PNG_SRC = 0x00000008;

// ---- Surfaces ----
struct SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;   // lowest address of the bits
  PVOID pvScan0;  // the top scan line
  LONG lDelta;    // bytes from one scan line to the next one down; negative for bottom-up bitmaps
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
};
static_assert(sizeof(SURFOBJ) == 80);
static_assert(offsetof(SURFOBJ, sizlBitmap) == 32 && offsetof(SURFOBJ, pvBits) == 48);
static_assert(offsetof(SURFOBJ, lDelta) == 64 && offsetof(SURFOBJ, iType) == 76);

// iBitmapFormat
inline constexpr ULONG BMF_1BPP = 1;
inline constexpr ULONG BMF_4BPP = 2;
inline constexpr ULONG BMF_8BPP = 3;
inline constexpr ULONG BMF_16BPP = 4;
inline constexpr ULONG BMF_24BPP = 5;
inline constexpr ULONG BMF_32BPP = 6;
inline constexpr ULONG BMF_4RLE = 7;
inline constexpr ULONG BMF_8RLE = 8;
inline constexpr ULONG BMF_JPEG = 9;
inline constexpr ULONG BMF_PNG = 10;

// fjBitmap, and the flags of EngCreateBitmap
inline constexpr FLONG BMF_TOPDOWN = 0x0001;
inline constexpr FLONG BMF_NOZEROINIT = 0x0002;
inline constexpr FLONG BMF_DONTCACHE = 0x0004;
inline constexpr FLONG BMF_USERMEM = 0x0008;

// iType
inline constexpr USHORT STYPE_BITMAP = 0;
inline constexpr USHORT STYPE_DEVICE = 1;
inline constexpr USHORT STYPE_DEVBITMAP = 3;

// Drawing calls the driver hooks (EngAssociateSurface).
inline constexpr FLONG HOOK_BITBLT = 0x00000001;
inline constexpr FLONG HOOK_STRETCHBLT = 0x00000002;
inline constexpr FLONG HOOK_PLGBLT = 0x00000004;
inline constexpr FLONG HOOK_TEXTOUT = 0x00000008;
inline constexpr FLONG HOOK_PAINT = 0x00000010;
inline constexpr FLONG HOOK_STROKEPATH = 0x00000020;
inline constexpr FLONG HOOK_FILLPATH = 0x00000040;
inline constexpr FLONG HOOK_STROKEANDFILLPATH = 0x00000080;
inline constexpr FLONG HOOK_LINETO = 0x00000100;
inline constexpr FLONG HOOK_COPYBITS = 0x00000400;
inline constexpr FLONG HOOK_STRETCHBLTROP = 0x00002000;
inline constexpr FLONG HOOK_TRANSPARENTBLT = 0x00008000;
inline constexpr FLONG HOOK_ALPHABLEND = 0x00010000;
inline constexpr FLONG HOOK_GRADIENTFILL = 0x00020000;

// ---- Palettes ----
inline constexpr ULONG PAL_INDEXED = 0x00000001;
inline constexpr ULONG PAL_BITFIELDS = 0x00000002;
inline constexpr ULONG PAL_RGB = 0x00000004;  // 0x00BBGGRR
inline constexpr ULONG PAL_BGR = 0x00000008;  // 0x00RRGGBB

// ---- Paths ----
struct PATHOBJ {
  FLONG fl;
  ULONG cCurves;
};

struct PATHDATA {
  FLONG flags;
  ULONG count;
  POINTFIX* pptfx;
};
static_assert(sizeof(PATHOBJ) == 8 && sizeof(PATHDATA) == 16);

inline constexpr FLONG PO_BEZIERS = 0x00000001;
inline constexpr FLONG PO_ELLIPSE = 0x00000002;

inline constexpr FLONG PD_BEGINSUBPATH = 0x00000001;
inline constexpr FLONG PD_ENDSUBPATH = 0x00000002;
inline constexpr FLONG PD_RESETSTYLE = 0x00000004;
inline constexpr FLONG PD_CLOSEFIGURE = 0x00000008;
inline constexpr FLONG PD_BEZIERS = 0x00000010;

inline constexpr FLONG FP_ALTERNATEMODE = 1;
inline constexpr FLONG FP_WINDINGMODE = 2;

// ---- Clipping ----
struct CLIPOBJ {
  ULONG iUniq;
  RECTL rclBounds;
  BYTE iDComplexity;
  BYTE iFComplexity;
  BYTE iMode;
  BYTE fjOptions;
};
static_assert(sizeof(CLIPOBJ) == 24);

inline constexpr BYTE DC_TRIVIAL = 0;
inline constexpr BYTE DC_RECT = 1;
inline constexpr BYTE DC_COMPLEX = 3;
inline constexpr BYTE FC_RECT = 1;
inline constexpr BYTE FC_RECT4 = 2;
inline constexpr BYTE FC_COMPLEX = 3;
inline constexpr BYTE TC_RECTANGLES = 0;
inline constexpr BYTE TC_PATHOBJ = 2;

// ---- Brushes ----
struct BRUSHOBJ {
  ULONG iSolidColor;  // 0xFFFFFFFF for a brush that is not a solid colour
  PVOID pvRbrush;
  FLONG flColorType;
};
static_assert(sizeof(BRUSHOBJ) == 24 && offsetof(BRUSHOBJ, pvRbrush) == 8);

// ---- Colour translation ----
struct XLATEOBJ {
  ULONG iUniq;
  FLONG flXlate;
  USHORT iSrcType;
  USHORT iDstType;
  ULONG cEntries;
  ULONG* pulXlate;
};
static_assert(sizeof(XLATEOBJ) == 24 && offsetof(XLATEOBJ, pulXlate) == 16);

inline constexpr FLONG XO_TRIVIAL = 0x00000001;
inline constexpr FLONG XO_TABLE = 0x00000002;
inline constexpr FLONG XO_TO_MONO = 0x00000004;

// XLATEOBJ_cGetPalette
inline constexpr ULONG XO_SRCPALETTE = 1;
inline constexpr ULONG XO_DESTPALETTE = 2;
inline constexpr ULONG XO_DESTDCPALETTE = 3;
inline constexpr ULONG XO_SRCBITFIELDS = 4;
inline constexpr ULONG XO_DESTBITFIELDS = 5;

// ---- Transforms ----
struct XFORMOBJ {
  ULONG ulReserved;
};

// Row vectors: (x', y') = (x, y) * [eM11 eM12; eM21 eM22] + (eDx, eDy).
struct XFORML {
  FLOATL eM11;
  FLOATL eM12;
  FLOATL eM21;
  FLOATL eM22;
  FLOATL eDx;
  FLOATL eDy;
};
static_assert(sizeof(XFORML) == 24);

// XFORMOBJ_iGetXform
inline constexpr ULONG GX_IDENTITY = 0;
inline constexpr ULONG GX_OFFSET = 1;
inline constexpr ULONG GX_SCALE = 2;
inline constexpr ULONG GX_GENERAL = 3;

// ---- Line attributes ----
struct LINEATTRS {
  FLONG fl;
  ULONG iJoin;
  ULONG iEndCap;
  FLOAT_LONG elWidth;  // integer pixels for cosmetic lines, a float for geometric lines
  FLOATL eMiterLimit;
  ULONG cstyle;
  PFLOAT_LONG pstyle;
  FLOAT_LONG elStyleState;
};
static_assert(sizeof(LINEATTRS) == 40 && offsetof(LINEATTRS, pstyle) == 24);

inline constexpr FLONG LA_GEOMETRIC = 0x00000001;
inline constexpr FLONG LA_ALTERNATE = 0x00000002;
inline constexpr FLONG LA_STARTGAP = 0x00000004;
inline constexpr FLONG LA_STYLED = 0x00000008;

inline constexpr ULONG JOIN_ROUND = 0;
inline constexpr ULONG JOIN_BEVEL = 1;
inline constexpr ULONG JOIN_MITER = 2;
inline constexpr ULONG ENDCAP_ROUND = 0;
inline constexpr ULONG ENDCAP_SQUARE = 1;
inline constexpr ULONG ENDCAP_BUTT = 2;

// ---- Blending ----
struct BLENDOBJ {
  BLENDFUNCTION BlendFunction;
};

// ---- Fonts ----
struct FONTOBJ {
  ULONG iUniq;  // this realisation
  ULONG iFace;
  ULONG cxMax;  // widest advance, device pixels
  FLONG flFontType;
  ULONG_PTR iTTUniq;  // the face of the font file
  ULONG_PTR iFile;    // the font file
  SIZEL sizLogResPpi;
  ULONG ulStyleSize;
  PVOID pvConsumer;
  PVOID pvProducer;
};
static_assert(sizeof(FONTOBJ) == 64 && offsetof(FONTOBJ, iTTUniq) == 16);
static_assert(offsetof(FONTOBJ, ulStyleSize) == 40 && offsetof(FONTOBJ, pvConsumer) == 48);

// flFontType
inline constexpr FLONG FO_TYPE_RASTER = 0x00000001;
inline constexpr FLONG FO_TYPE_DEVICE = 0x00000002;
inline constexpr FLONG FO_TYPE_TRUETYPE = 0x00000004;
inline constexpr FLONG FO_TYPE_OPENTYPE = 0x00000008;
inline constexpr FLONG FO_SIM_BOLD = 0x00002000;
inline constexpr FLONG FO_SIM_ITALIC = 0x00004000;
inline constexpr FLONG FO_EM_HEIGHT = 0x00008000;
inline constexpr FLONG FO_CFF = 0x00100000;
inline constexpr FLONG FO_POSTSCRIPT = 0x00200000;
inline constexpr FLONG FO_VERT_FACE = 0x00800000;
inline constexpr FLONG FO_DBCS_FONT = 0x01000000;

// DrvGetGlyphMode
inline constexpr ULONG FO_HGLYPHS = 0;
inline constexpr ULONG FO_GLYPHBITS = 1;
inline constexpr ULONG FO_PATHOBJ = 2;

// Font metrics. Strings and lists follow the record; the dp... members are their byte offsets from its start.
struct IFIMETRICS {
  ULONG cjThis;
  ULONG cjIfiExtra;
  PTRDIFF dpwszFamilyName;
  PTRDIFF dpwszStyleName;
  PTRDIFF dpwszFaceName;
  PTRDIFF dpwszUniqueName;
  PTRDIFF dpFontSim;
  LONG lEmbedId;
  LONG lItalicAngle;  // tenths of a degree, counterclockwise from the vertical
  LONG lCharBias;
  PTRDIFF dpCharSets;  // 16 charsets, ended by DEFAULT_CHARSET
  BYTE jWinCharSet;
  BYTE jWinPitchAndFamily;
  USHORT usWinWeight;
  FLONG flInfo;
  USHORT fsSelection;
  USHORT fsType;
  FWORD fwdUnitsPerEm;
  FWORD fwdLowestPPEm;
  FWORD fwdWinAscender;
  FWORD fwdWinDescender;
  FWORD fwdMacAscender;
  FWORD fwdMacDescender;
  FWORD fwdMacLineGap;
  FWORD fwdTypoAscender;
  FWORD fwdTypoDescender;
  FWORD fwdTypoLineGap;
  FWORD fwdAveCharWidth;
  FWORD fwdMaxCharInc;
  FWORD fwdCapHeight;
  FWORD fwdXHeight;
  FWORD fwdSubscriptXSize;
  FWORD fwdSubscriptYSize;
  FWORD fwdSubscriptXOffset;
  FWORD fwdSubscriptYOffset;
  FWORD fwdSuperscriptXSize;
  FWORD fwdSuperscriptYSize;
  FWORD fwdSuperscriptXOffset;
  FWORD fwdSuperscriptYOffset;
  FWORD fwdUnderscoreSize;
  FWORD fwdUnderscorePosition;
  FWORD fwdStrikeoutSize;
  FWORD fwdStrikeoutPosition;
  BYTE chFirstChar;
  BYTE chLastChar;
  BYTE chDefaultChar;
  BYTE chBreakChar;
  WCHAR wcFirstChar;
  WCHAR wcLastChar;
  WCHAR wcDefaultChar;
  WCHAR wcBreakChar;
  POINTL ptlBaseline;
  POINTL ptlAspect;
  POINTL ptlCaret;
  RECTL rclFontBox;  // notional units, y up: top is the highest point
  BYTE achVendId[4];
  ULONG cKerningPairs;
  ULONG ulPanoseCulture;
  PANOSE panose;
  PVOID Align;
};
static_assert(sizeof(IFIMETRICS) == 192);
static_assert(offsetof(IFIMETRICS, dpCharSets) == 40 && offsetof(IFIMETRICS, flInfo) == 48);
static_assert(offsetof(IFIMETRICS, fwdUnitsPerEm) == 56 && offsetof(IFIMETRICS, chFirstChar) == 108);
static_assert(offsetof(IFIMETRICS, ptlBaseline) == 120 && offsetof(IFIMETRICS, rclFontBox) == 144);
static_assert(offsetof(IFIMETRICS, panose) == 172);

struct FONTSIM {
  PTRDIFF dpBold;
  PTRDIFF dpItalic;
  PTRDIFF dpBoldItalic;
};

// flInfo
inline constexpr FLONG FM_INFO_TECH_TRUETYPE = 0x00000001;
inline constexpr FLONG FM_INFO_TECH_OUTLINE_NOT_TRUETYPE = 0x00000008;
inline constexpr FLONG FM_INFO_ARB_XFORMS = 0x00000010;
inline constexpr FLONG FM_INFO_RETURNS_OUTLINES = 0x00008000;
inline constexpr FLONG FM_INFO_RIGHT_HANDED = 0x00080000;
inline constexpr FLONG FM_INFO_TECH_CFF = 0x04000000;
inline constexpr FLONG FM_INFO_TECH_TYPE1 = 0x80000000;

// fsSelection
inline constexpr USHORT FM_SEL_ITALIC = 0x0001;
inline constexpr USHORT FM_SEL_UNDERSCORE = 0x0002;
inline constexpr USHORT FM_SEL_NEGATIVE = 0x0004;
inline constexpr USHORT FM_SEL_OUTLINED = 0x0008;
inline constexpr USHORT FM_SEL_STRIKEOUT = 0x0010;
inline constexpr USHORT FM_SEL_BOLD = 0x0020;
inline constexpr USHORT FM_SEL_REGULAR = 0x0040;

// fsType: the embedding rights of the font's OS/2 table.
inline constexpr USHORT FM_TYPE_LICENSED = 0x0002;
inline constexpr USHORT FM_NO_EMBEDDING = FM_TYPE_LICENSED;
inline constexpr USHORT FM_READONLY_EMBED = 0x0004;
inline constexpr USHORT FM_EDITABLE_EMBED = 0x0008;

inline constexpr ULONG FM_PANOSE_CULTURE_LATIN = 0;

// Glyph sets: Unicode runs to glyph handles.
struct WCRUN {
  WCHAR wcLow;
  USHORT cGlyphs;
  HGLYPH* phg;  // null: the handles are the characters themselves
};

struct FD_GLYPHSET {
  ULONG cjThis;
  FLONG flAccel;
  ULONG cGlyphsSupported;
  ULONG cRuns;
  WCRUN awcrun[1];
};
static_assert(sizeof(WCRUN) == 16 && sizeof(FD_GLYPHSET) == 32);

inline constexpr FLONG GS_UNICODE_HANDLES = 0x00000001;
inline constexpr FLONG GS_8BIT_HANDLES = 0x00000002;
inline constexpr FLONG GS_16BIT_HANDLES = 0x00000004;

struct GLYPHBITS {
  POINTL ptlOrigin;
  SIZEL sizlBitmap;
  BYTE aj[1];
};

union GLYPHDEF {
  PATHOBJ* ppo;
  GLYPHBITS* pgb;
};

struct GLYPHPOS {
  HGLYPH hg;
  GLYPHDEF* pgdf;
  POINTL ptl;  // the glyph's origin on the baseline, device pixels
};
static_assert(sizeof(GLYPHPOS) == 24 && offsetof(GLYPHPOS, ptl) == 16);

struct GLYPHDATA {
  GLYPHDEF gdf;
  HGLYPH hg;
  FIX fxD;
  FIX fxA;
  FIX fxAB;
  FIX fxInkTop;
  FIX fxInkBottom;
  RECTL rclInk;
  POINTQF ptqD;
};
static_assert(sizeof(GLYPHDATA) == 64 && offsetof(GLYPHDATA, ptqD) == 48);

// ---- Strings ----
struct STROBJ {
  ULONG cGlyphs;
  FLONG flAccel;
  ULONG ulCharInc;
  RECTL rclBkGround;
  GLYPHPOS* pgp;
  LPWSTR pwszOrg;  // the string of the call (glyph indices for glyph-index text)
};
static_assert(sizeof(STROBJ) == 48 && offsetof(STROBJ, pgp) == 32);

inline constexpr FLONG SO_FLAG_DEFAULT_PLACEMENT = 0x00000001;
inline constexpr FLONG SO_HORIZONTAL = 0x00000002;
inline constexpr FLONG SO_VERTICAL = 0x00000004;
inline constexpr FLONG SO_REVERSED = 0x00000008;
inline constexpr FLONG SO_ZERO_BEARINGS = 0x00000010;
inline constexpr FLONG SO_CHAR_INC_EQUAL_BM_BASE = 0x00000020;
inline constexpr FLONG SO_MAXEXT_EQUAL_BM_SIDE = 0x00000040;
inline constexpr FLONG SO_GLYPHINDEX_TEXTOUT = 0x00000100;

// ---- Escapes ----
inline constexpr ULONG QUERYESCSUPPORT = 8;

// ---- Entry points a driver implements ----
extern "C" {
BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);
void DrvDisableDriver();
DHPDEV DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                     ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver);
void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev);
BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
void DrvDisablePDEV(DHPDEV dhpdev);
HSURF DrvEnableSurface(DHPDEV dhpdev);
void DrvDisableSurface(DHPDEV dhpdev);
ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl);
BOOL DrvStartPage(SURFOBJ* pso);
BOOL DrvSendPage(SURFOBJ* pso);
BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask, XLATEOBJ* pxlo,
                     ULONG iHatch);
BOOL DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix);
BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix);
BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions);
BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions);
BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4);
BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc);
BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode);
BOOL DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                      ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
BOOL DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
               COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl, ULONG iMode);
BOOL DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                     PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode);
ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ* pfo);
BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
BOOL DrvQueryDeviceSupport(SURFOBJ* pso, XLATEOBJ* pxlo, XFORMOBJ* pxo, ULONG iType, ULONG cjIn, PVOID pvIn,
                           ULONG cjOut, PVOID pvOut);
}

// The engine binds a driver by name and calls the table's entries through these types.
using PFN_DrvEnableDriver = decltype(&DrvEnableDriver);
using PFN_DrvQueryDriverInfo = decltype(&DrvQueryDriverInfo);
using PFN_DrvDisableDriver = decltype(&DrvDisableDriver);
using PFN_DrvEnablePDEV = decltype(&DrvEnablePDEV);
using PFN_DrvCompletePDEV = decltype(&DrvCompletePDEV);
using PFN_DrvResetPDEV = decltype(&DrvResetPDEV);
using PFN_DrvDisablePDEV = decltype(&DrvDisablePDEV);
using PFN_DrvEnableSurface = decltype(&DrvEnableSurface);
using PFN_DrvDisableSurface = decltype(&DrvDisableSurface);
using PFN_DrvEscape = decltype(&DrvEscape);
using PFN_DrvStartDoc = decltype(&DrvStartDoc);
using PFN_DrvEndDoc = decltype(&DrvEndDoc);
using PFN_DrvStartPage = decltype(&DrvStartPage);
using PFN_DrvSendPage = decltype(&DrvSendPage);
using PFN_DrvRealizeBrush = decltype(&DrvRealizeBrush);
using PFN_DrvLineTo = decltype(&DrvLineTo);
using PFN_DrvStrokePath = decltype(&DrvStrokePath);
using PFN_DrvFillPath = decltype(&DrvFillPath);
using PFN_DrvStrokeAndFillPath = decltype(&DrvStrokeAndFillPath);
using PFN_DrvBitBlt = decltype(&DrvBitBlt);
using PFN_DrvCopyBits = decltype(&DrvCopyBits);
using PFN_DrvStretchBlt = decltype(&DrvStretchBlt);
using PFN_DrvStretchBltROP = decltype(&DrvStretchBltROP);
using PFN_DrvPlgBlt = decltype(&DrvPlgBlt);
using PFN_DrvAlphaBlend = decltype(&DrvAlphaBlend);
using PFN_DrvTransparentBlt = decltype(&DrvTransparentBlt);
using PFN_DrvGradientFill = decltype(&DrvGradientFill);
using PFN_DrvGetGlyphMode = decltype(&DrvGetGlyphMode);
using PFN_DrvTextOut = decltype(&DrvTextOut);
using PFN_DrvQueryDeviceSupport = decltype(&DrvQueryDeviceSupport);

// ---- Engine services: surfaces and palettes ----

// A bitmap surface of `sizl` pixels in `iFormat` (BMF_1BPP .. BMF_32BPP; 24 bits are red, green, blue in memory
// order for a PAL_RGB device). `lWidth` is the byte distance between scan lines: 0 asks for the smallest
// DWORD-aligned width; a width below one row's bytes, or not a multiple of 4, fails. Scan lines run bottom-up
// (negative lDelta) unless `fl` holds BMF_TOPDOWN or `sizl.cy` is negative. With `pvBits` the caller's memory holds
// the bits and stays the caller's; otherwise the engine allocates them, zeroed unless BMF_NOZEROINIT. A bitmap
// larger than the machine's engine limit (win/engine.h) fails with ERROR_NOT_ENOUGH_MEMORY.
HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
// A device surface: the driver draws it, the engine holds no bits.
HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);
// Ties a surface to a device and records the drawing calls the driver hooks on it.
BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
SURFOBJ* EngLockSurface(HSURF hsurf);
void EngUnlockSurface(SURFOBJ* pso);
// The handle is gone at once; a surface still locked keeps its SURFOBJ and bits until its last unlock.
BOOL EngDeleteSurface(HSURF hsurf);

HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                          FLONG flBlue);
BOOL EngDeletePalette(HPALETTE hpal);

// ---- Engine services: drawing into bitmaps ----
// They draw into engine bitmaps of 1 to 32 bits per pixel (not device surfaces), within the clip (null: none) and
// the bitmap, aliased as the platform draws. Colours are pixel values of the target; a translation (null: none)
// takes source values to target values. A ROP4 holds the foreground ternary operation in bits 0-7, used where a
// mask's bit is 1 (everywhere without a mask), and the background one in bits 8-15; a MIX holds the foreground
// binary operation (R2_...) in bits 0-7 and the background one in bits 8-15, used between a hatch's lines. Bad
// arguments (a foreign object, an operation that needs a source or brush not given, an unknown mode) fail with
// ERROR_INVALID_PARAMETER; a call that leaves nothing to draw succeeds.
BOOL EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4);
BOOL EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc);
// Source rectangle onto destination rectangle, mirrored where one of them is inverted; nearest pixels, or with
// HALFTONE (and no mask) averaged colours. Where a mask's bit is 0 the destination stays.
BOOL EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode);
BOOL EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                      ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
// The source rectangle onto the parallelogram whose upper-left, upper-right and lower-left corners are the three
// 28.4 points.
BOOL EngPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
               COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl, ULONG iMode);
// Source over destination with the constant alpha, and with AC_SRC_ALPHA the per-pixel alpha of a 32-bit
// source whose colours are premultiplied; stretched by nearest pixels.
BOOL EngAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj);
// Source pixels whose value (in the source's format) is not the colour key.
BOOL EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
// Rectangles shaded from the upper-left vertex's colour at their left (top) edge to the lower-right vertex's at
// their right (bottom) edge, or Gouraud triangles. The translation takes RGB colours (0x00BBGGRR) to the target;
// without one the target's colours decide.
BOOL EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                     PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode);
// The opaque rectangle with its brush, the glyphs' outlines (nonzero winding) with the foreground brush, then the
// extra rectangles (a list ended by an all-zero rectangle) with it too. String and font are the engine's.
BOOL EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
// A one-pixel line from the first point up to, not including, the second.
BOOL EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix);
// Cosmetic pens draw one-pixel steps with their style; geometric pens (and cosmetic ones wider than a pixel)
// draw the outline of the stroke under the transform (null: identity). The gaps of a style stay untouched.
BOOL EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix);
// The pixels whose centres lie inside the path under FP_WINDINGMODE or (otherwise) the alternate rule.
BOOL EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions);
// The fill, then the stroke, both with the fill's mix.
BOOL EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions);
// The clip's region with the brush.
BOOL EngPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix);

// ---- Object accessors ----
// Frees a path the engine handed the driver to keep (CLIPOBJ_ppoGetPath).
void EngDeletePath(PATHOBJ* ppo);
void PATHOBJ_vEnumStart(PATHOBJ* ppo);
// Fills one record of the path (its points stay valid until the path changes or goes); TRUE while more records
// follow. After the last, a record of no points and FALSE until PATHOBJ_vEnumStart.
BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd);
// The smallest rectangle holding every point, control points included.
void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx);
// The clip region as a path, which the caller frees with EngDeletePath: the rectangle of a rectangle clip, the
// path of a path clip when the alternate rule gives its region, else the region's outline.
PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco);

// 0xFFFFFFFF for a brush that is not a solid colour.
ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo);
// Zeroed memory for the driver's realisation of the brush, freed with the brush.
PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj);
// The driver's realisation, which the first call asks the driver to make (DrvRealizeBrush).
PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo);

// Without a translation a value stays as it is; an index beyond a table gives 0.
ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor);
// The source's or destination's palette entries (XO_SRCPALETTE, XO_DESTPALETTE, XO_DESTDCPALETTE) or bit-field
// masks of red, green and blue (XO_SRCBITFIELDS, XO_DESTBITFIELDS): how many there are when `pPal` is null,
// else how many were copied (at most `cPal`); 0 when the translation has no such palette.
ULONG XLATEOBJ_cGetPalette(XLATEOBJ* pxlo, ULONG iPal, ULONG cPal, ULONG* pPal);

// The transform's matrix; the result says its kind (GX_...), DDI_ERROR for a bad argument.
ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform);

IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo);
// The notional-to-device transform of the realisation: notional units (em square, y down, as the device) to
// device pixels, in row vectors.
XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo);
// Never null for an engine font: a font without a usable character map has a glyph set of no runs.
FD_GLYPHSET* FONTOBJ_pfdg(FONTOBJ* pfo);
// The whole font file (a collection's whole file, a Type 1 font's PFB or PFA file), mapped read-only, and its size
// in `pcjFile`.
PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ* pfo, ULONG* pcjFile);
// One glyph's data (cGlyph 1) in *ppvGlyph, a GLYPHDATA whose gdf holds the glyph's outline (FO_PATHOBJ; glyph
// bits are not offered) and rclInk the pixels its fill may touch, relative to its origin; kept by the font. The
// glyph in its upright form, as strings of a face without FO_VERT_FACE draw every glyph. 1, or 0 with
// ERROR_INVALID_PARAMETER (ERROR_NOT_SUPPORTED for another mode).
ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph);

void STROBJ_vEnumStart(STROBJ* pstro);
// The next batch of glyph positions; TRUE while more batches follow. Starts again after STROBJ_vEnumStart.
BOOL STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
// The same batches, with each position's pgdf holding the glyph's outline when the string was made for
// FO_PATHOBJ (a path relative to the glyph's origin, kept by the font).
BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
