#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "win/oleauto.h"

namespace {

inline constexpr USHORT kAlphaBool = 0x2;  // VARIANT_ALPHABOOL: "True"/"False" instead of "-1"/"0"

bool IsKnownType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_BSTR: case VT_DISPATCH:
    case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool IsInterface(VARTYPE vt) { return vt == VT_DISPATCH || vt == VT_UNKNOWN; }

// The numeric value of a variant, or nothing when it has none.
std::optional<double> NumberOf(const VARIANT& v, HRESULT* error) {
  *error = DISP_E_TYPEMISMATCH;
  switch (v.vt) {
    case VT_EMPTY: return 0.0;
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_INT: return v.intVal;
    case VT_UI1: return v.bVal;
    case VT_UI2: return v.uiVal;
    case VT_UI4: return v.ulVal;
    case VT_UINT: return v.uintVal;
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_BOOL: return v.boolVal ? -1.0 : 0.0;
    case VT_BSTR: {
      const std::u16string_view text(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
      std::string narrow;
      for (char16_t c : text) {
        if (c > 0x7F) return std::nullopt;
        narrow.push_back(static_cast<char>(c));
      }
      const auto first = narrow.find_first_not_of(" \t");
      const auto last = narrow.find_last_not_of(" \t");
      if (first == std::string::npos) return std::nullopt;
      narrow = narrow.substr(first, last - first + 1);
      if (narrow == "True" || narrow == "true" || narrow == "TRUE") return -1.0;
      if (narrow == "False" || narrow == "false" || narrow == "FALSE") return 0.0;
      char* end = nullptr;
      const double value = std::strtod(narrow.c_str(), &end);
      if (!end || *end != '\0' || !std::isfinite(value)) return std::nullopt;
      return value;
    }
    default: return std::nullopt;
  }
}

// Whole numbers round half to even, as automation's conversions do.
std::optional<long long> WholeNumber(double value, double low, double high) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= low && rounded <= high)) return std::nullopt;
  return static_cast<long long>(rounded);
}

BSTR TextOf(const VARIANT& v, USHORT flags) {
  char text[64];
  switch (v.vt) {
    case VT_BOOL:
      if (flags & kAlphaBool) return SysAllocString(v.boolVal ? u"True" : u"False");
      return SysAllocString(v.boolVal ? u"-1" : u"0");
    case VT_R4: std::snprintf(text, sizeof text, "%.7g", static_cast<double>(v.fltVal)); break;
    case VT_R8: std::snprintf(text, sizeof text, "%.15g", v.dblVal); break;
    case VT_EMPTY: text[0] = '\0'; break;
    default: {
      HRESULT ignored;
      const auto number = NumberOf(v, &ignored);
      if (!number) return nullptr;
      std::snprintf(text, sizeof text, "%.0f", *number);
    }
  }
  std::u16string wide(text, text + std::char_traits<char>::length(text));
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

HRESULT Convert(VARIANT* out, const VARIANT& in, USHORT flags, VARTYPE vt) {
  VariantInit(out);
  if (in.vt == vt) return VariantCopy(out, &in);
  if (in.vt == VT_NULL || in.vt == VT_ERROR || vt == VT_ERROR || vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (vt == VT_EMPTY) return S_OK;
  if (IsInterface(vt) || IsInterface(in.vt)) {
    if (!IsInterface(vt) || !IsInterface(in.vt) || !in.punkVal) return DISP_E_TYPEMISMATCH;
    void* object = nullptr;
    if (FAILED(in.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &object)))
      return DISP_E_TYPEMISMATCH;
    out->vt = vt;
    out->byref = object;
    return S_OK;
  }
  if (vt == VT_BSTR) {
    BSTR text = TextOf(in, flags);
    if (!text) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = text;
    return S_OK;
  }
  HRESULT error;
  const auto number = NumberOf(in, &error);
  if (!number) return error;
  std::optional<long long> whole;
  switch (vt) {
    case VT_I2:
      if (!(whole = WholeNumber(*number, -32768.0, 32767.0))) return DISP_E_OVERFLOW;
      out->iVal = static_cast<SHORT>(*whole);
      break;
    case VT_I4: case VT_INT:
      if (!(whole = WholeNumber(*number, -2147483648.0, 2147483647.0))) return DISP_E_OVERFLOW;
      out->lVal = static_cast<LONG>(*whole);
      break;
    case VT_UI1:
      if (!(whole = WholeNumber(*number, 0, 255.0))) return DISP_E_OVERFLOW;
      out->bVal = static_cast<BYTE>(*whole);
      break;
    case VT_UI2:
      if (!(whole = WholeNumber(*number, 0, 65535.0))) return DISP_E_OVERFLOW;
      out->uiVal = static_cast<USHORT>(*whole);
      break;
    case VT_UI4: case VT_UINT:
      if (!(whole = WholeNumber(*number, 0, 4294967295.0))) return DISP_E_OVERFLOW;
      out->ulVal = static_cast<ULONG>(*whole);
      break;
    case VT_R4:
      if (std::fabs(*number) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<FLOAT>(*number);
      break;
    case VT_R8: out->dblVal = *number; break;
    case VT_BOOL: out->boolVal = *number != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: return DISP_E_BADVARTYPE;
  }
  out->vt = vt;
  return S_OK;
}

}  // namespace

void VariantInit(VARIANTARG* v) {
  if (!v) return;
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    if (!IsKnownType(v->vt)) return DISP_E_BADVARTYPE;
    if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    if (IsInterface(v->vt) && v->punkVal) v->punkVal->Release();
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
  if (!dest || !source) return E_INVALIDARG;
  if (dest == source) return S_OK;
  if (!(source->vt & VT_BYREF) && !IsKnownType(source->vt)) return DISP_E_BADVARTYPE;
  const HRESULT cleared = VariantClear(dest);
  if (FAILED(cleared)) return cleared;
  VARIANT copy = *source;
  if (source->vt == VT_BSTR && source->bstrVal) {
    copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  }
  if (IsInterface(source->vt) && source->punkVal) source->punkVal->AddRef();
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, USHORT flags, VARTYPE vt) {
  if (!dest || !source) return E_INVALIDARG;
  VARIANT in = *source;
  if (in.vt == (VT_BYREF | VT_VARIANT)) {
    if (!in.pvarVal) return E_INVALIDARG;
    in = *in.pvarVal;
  }
  if ((in.vt & VT_BYREF) || !IsKnownType(in.vt) || !IsKnownType(vt)) return DISP_E_BADVARTYPE;
  VARIANT converted;
  const HRESULT hr = Convert(&converted, in, flags, vt);
  if (FAILED(hr)) return hr;
  // Clearing `dest` after converting lets it be the source.
  const HRESULT cleared = VariantClear(dest);
  if (FAILED(cleared)) {
    VariantClear(&converted);
    return cleared;
  }
  *dest = converted;
  return S_OK;
}
