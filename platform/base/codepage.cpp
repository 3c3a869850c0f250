// Code-page conversion with the platform's result rules: a size query when the output size is 0, and
// ERROR_INSUFFICIENT_BUFFER (nothing written) when the output does not hold the whole result.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "win/ansi_text.h"
#include "win/base.h"
#include "win/machine.h"

namespace {

// The upper rows 0x80..0x9F of code page 1252; the rest of its upper half equals Latin-1. The five bytes the
// code page leaves undefined map to the control character of the same value, as the platform does.
constexpr char16_t k1252Row8[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Decode1252(unsigned char b) { return (b >= 0x80 && b < 0xA0) ? k1252Row8[b - 0x80] : b; }

int Encode1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (k1252Row8[i] == c) return 0x80 + i;
  return -1;
}

UINT ResolveCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_THREAD_ACP) return kq::CurrentMachine().AnsiCodePage();
  if (codePage == CP_OEMCP) return 437;
  return codePage;
}

bool IsIconvCodePage(UINT cp) {
  return (cp >= 1250 && cp <= 1258) || cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 437 ||
         cp == 850 || cp == 874;
}

// A conversion descriptor per direction and code page, opened on a thread's first conversion and kept for the
// thread's life: opening one costs far more than a short conversion. Each use starts it from its initial state.
// A descriptor is pure conversion machinery, no state of a machine, and serves one thread at a time.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(Descriptor(std::string(to) + '<' + from, to, from)) {
    if (ok()) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  struct Kept {
    std::map<std::string, iconv_t> open;
    ~Kept() {
      for (auto& [name, cd] : open)
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  static iconv_t Descriptor(const std::string& name, const char* to, const char* from) {
    thread_local Kept kept;
    const auto found = kept.open.find(name);
    if (found != kept.open.end()) return found->second;
    return kept.open.emplace(name, iconv_open(to, from)).first->second;
  }

  iconv_t cd_;
};

std::string IconvName(UINT cp) { return "CP" + std::to_string(cp); }

// Next code point of UTF-16 text; a lone surrogate is reported as such (a value in D800..DFFF).
char32_t NextCodePoint(const WCHAR* w, int n, int& i) {
  char32_t c = w[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < n && w[i] >= 0xDC00 && w[i] <= 0xDFFF)
    c = 0x10000 + ((c - 0xD800) << 10) + (w[i++] - 0xDC00);
  return c;
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

int Deliver(const std::string& bytes, LPSTR out, int outBytes) {
  const int size = static_cast<int>(bytes.size());
  if (outBytes == 0) return size;
  if (size > outBytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, bytes.data(), bytes.size());
  return size;
}

int Deliver(const std::u16string& text, LPWSTR out, int outChars) {
  const int size = static_cast<int>(text.size());
  if (outChars == 0) return size;
  if (size > outChars) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
  return size;
}

}  // namespace

UINT GetACP() { return kq::CurrentMachine().AnsiCodePage(); }

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!wide || wideCount == 0 || wideCount < -1 || outBytes < 0 || (outBytes > 0 && !out) ||
      (out && static_cast<const void*>(out) == static_cast<const void*>(wide))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const UINT cp = ResolveCodePage(codePage);
  const int n = wideCount == -1 ? lstrlenW(wide) + 1 : wideCount;
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(n));

  if (cp == CP_UTF8) {
    if (defaultChar || usedDefaultChar) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const kq::WStringView view(wide, static_cast<std::size_t>(n));
    if (flags & WC_ERR_INVALID_CHARS) {
      for (int i = 0; i < n;) {
        if (IsSurrogate(NextCodePoint(wide, n, i))) {
          SetLastError(ERROR_NO_UNICODE_TRANSLATION);
          return 0;
        }
      }
    }
    bytes = kq::Utf8FromWide(view);  // a lone surrogate becomes U+FFFD
    return Deliver(bytes, out, outBytes);
  }

  const std::string fallback = defaultChar && *defaultChar ? std::string(defaultChar, strnlen(defaultChar, 2)) : "?";
  auto useDefault = [&] {
    bytes += fallback;
    if (usedDefaultChar) *usedDefaultChar = TRUE;
  };

  if (cp == 1252) {
    for (int i = 0; i < n;) {
      const int b = Encode1252(NextCodePoint(wide, n, i));
      if (b < 0) useDefault();
      else bytes += static_cast<char>(b);
    }
    return Deliver(bytes, out, outBytes);
  }

  if (!IsIconvCodePage(cp)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Iconv cd(IconvName(cp).c_str(), "UTF-32LE");
  if (!cd.ok()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  for (int i = 0; i < n;) {
    char32_t c = NextCodePoint(wide, n, i);
    if (IsSurrogate(c)) {
      useDefault();
      continue;
    }
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                  static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
    char buf[16];
    char* inp = in;
    char* outp = buf;
    std::size_t inLeft = 4, outLeft = sizeof buf;
    if (iconv(cd.get(), &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) {
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
      useDefault();
    } else {
      bytes.append(buf, static_cast<std::size_t>(outp - buf));
    }
  }
  return Deliver(bytes, out, outBytes);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR out, int outChars) {
  if (!bytes || byteCount == 0 || byteCount < -1 || outChars < 0 || (outChars > 0 && !out) ||
      (out && static_cast<const void*>(out) == static_cast<const void*>(bytes))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const UINT cp = ResolveCodePage(codePage);
  const int n = byteCount == -1 ? static_cast<int>(std::strlen(bytes)) + 1 : byteCount;
  std::u16string text;
  text.reserve(static_cast<std::size_t>(n));

  if (cp == CP_UTF8) {
    const std::string_view view(bytes, static_cast<std::size_t>(n));
    text = kq::WideFromUtf8(view);  // invalid sequences become U+FFFD
    // Valid UTF-8 survives the round trip unchanged; anything else held an invalid sequence.
    if ((flags & MB_ERR_INVALID_CHARS) && kq::Utf8FromWide(text) != view) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    return Deliver(text, out, outChars);
  }

  if (cp == 1252) {
    for (int i = 0; i < n; ++i) text += Decode1252(static_cast<unsigned char>(bytes[i]));
    return Deliver(text, out, outChars);
  }

  if (!IsIconvCodePage(cp)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Iconv cd("UTF-16LE", IconvName(cp).c_str());
  if (!cd.ok()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  char* inp = const_cast<char*>(bytes);
  std::size_t inLeft = static_cast<std::size_t>(n);
  std::string buf(static_cast<std::size_t>(n) * 4 + 16, '\0');
  char* outp = buf.data();
  std::size_t outLeft = buf.size();
  while (inLeft > 0) {
    if (iconv(cd.get(), &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: four units per byte is more than any code page needs
    if (flags & MB_ERR_INVALID_CHARS) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    // An invalid or cut-off sequence: one '?' for its first byte, then go on with the next.
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    *outp++ = '?';
    *outp++ = 0;
    outLeft -= 2;
    ++inp;
    --inLeft;
  }
  const std::size_t produced = static_cast<std::size_t>(outp - buf.data()) / 2;
  for (std::size_t k = 0; k < produced; ++k)
    text += static_cast<char16_t>(static_cast<unsigned char>(buf[2 * k]) |
                                  (static_cast<unsigned char>(buf[2 * k + 1]) << 8));
  return Deliver(text, out, outChars);
}

namespace kq {

WString WideOfAnsi(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  WString wide(static_cast<std::size_t>(units > 0 ? units : 0), u'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), units);
  return wide;
}

std::string AnsiOfWide(WStringView wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), length, ansi.data(), bytes, nullptr, nullptr);
  return ansi;
}

}  // namespace kq
