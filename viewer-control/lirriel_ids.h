// The control's identity: class identifiers, its type library and interfaces, its resources.
#pragma once

#include "win/objbase.h"

inline constexpr CLSID CLSID_Lirriel{0x05563215, 0x225C, 0x45EB, {0xBB, 0x34, 0xAF, 0xA4, 0x72, 0x17, 0xB1, 0xDE}};
inline constexpr CLSID CLSID_LirrielPropPage{
    0x285FA90B, 0x649B, 0x49F3, {0xA1, 0xA2, 0xE2, 0x16, 0xFF, 0xBD, 0x2A, 0xE7}};
inline constexpr GUID LIBID_LIRRIELLib{0x3D20F47F, 0xE818, 0x4A03, {0xAD, 0x52, 0x45, 0xB7, 0x08, 0xAC, 0xCF, 0x23}};
inline constexpr IID DIID__DLirriel{0x42628B60, 0x2075, 0x4D91, {0x8B, 0x48, 0xF9, 0xB4, 0xA3, 0xF7, 0xEC, 0x96}};
inline constexpr IID DIID__DLirrielEvents{
    0x6E7281CF, 0xDFF2, 0x4D59, {0xA9, 0xCF, 0xC1, 0x48, 0x99, 0xED, 0xE9, 0xC9}};
inline constexpr CLSID CLSID_ViewerDocumentServer{
    0x14E8BBD8, 0x1D1C, 0x4D56, {0xA4, 0xDA, 0xD2, 0x0B, 0x75, 0xEB, 0x81, 0x4E}};

inline constexpr char16_t kLirrielProgId[] = u"LIRRIEL.LirrielCtrl.1";
inline constexpr char16_t kLirrielPropPageProgId[] = u"LIRRIEL.LirrielPropPage.1";
inline constexpr WORD kLirrielVersionMajor = 1;
inline constexpr WORD kLirrielVersionMinor = 0;
inline constexpr DWORD kLirrielMiscStatus = 0x20191;

// Resources.
inline constexpr UINT IDS_LIRRIEL = 1;
inline constexpr UINT IDS_LIRRIEL_PPG = 2;
inline constexpr UINT IDS_LIRRIEL_PPG_CAPTION = 200;
inline constexpr UINT IDB_LIRRIEL = 1;
inline constexpr UINT IDD_ABOUTBOX_LIRRIEL = 1;
inline constexpr UINT IDD_PROPPAGE_LIRRIEL = 200;
inline constexpr UINT IDR_CNTR_INPLACE = 128;
