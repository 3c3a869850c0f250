#include <cstring>

#include "win/base.h"

namespace kq {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(WString& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<WCHAR>(c);
  } else {
    c -= 0x10000;
    out += static_cast<WCHAR>(0xD800 | (c >> 10));
    out += static_cast<WCHAR>(0xDC00 | (c & 0x3FF));
  }
}
}  // namespace

WString WideFromUtf8(std::string_view s) {
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  WString out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t c;
    if (b < 0x80) {
      out += static_cast<WCHAR>(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07;
    } else {
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    bool ok = i + extra < s.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto cb = static_cast<unsigned char>(s[i + k]);
      ok = (cb & 0xC0) == 0x80;
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok || c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    AppendUtf16(out, c);
    i += extra + 1;
  }
  return out;
}

std::string Utf8FromWide(WStringView w) {
  std::string out;
  out.reserve(w.size());
  for (std::size_t i = 0; i < w.size(); ++i) {
    char32_t c = w[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

WCHAR FoldAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

bool EqualsIgnoreAsciiCase(WStringView a, WStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

}  // namespace kq

int lstrlenW(LPCWSTR s) {
  if (!s) return 0;
  int n = 0;
  while (s[n]) ++n;
  return n;
}

int lstrlenA(LPCSTR s) { return s ? static_cast<int>(std::strlen(s)) : 0; }

LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int maxCount) {
  if (!dst || maxCount <= 0) return dst;
  int i = 0;
  if (src)
    for (; i < maxCount - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

namespace {
int CompareWide(LPCWSTR a, LPCWSTR b, bool fold) {
  if (!a) a = u"";
  if (!b) b = u"";
  for (;; ++a, ++b) {
    WCHAR ca = fold ? kq::FoldAscii(*a) : *a;
    WCHAR cb = fold ? kq::FoldAscii(*b) : *b;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (!ca) return 0;
  }
}
}  // namespace

int lstrcmpW(LPCWSTR a, LPCWSTR b) { return CompareWide(a, b, false); }
int lstrcmpiW(LPCWSTR a, LPCWSTR b) { return CompareWide(a, b, true); }
