#include "pdf/tokens.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "pdf/text.h"

namespace {

// to_chars into a string that grows until the text fits.
template <class... Options>
std::string ToChars(double value, Options... options) {
  std::string text(32, '\0');
  for (;;) {
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, options...);
    if (result.ec == std::errc()) {
      text.resize(static_cast<std::size_t>(result.ptr - text.data()));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

void AppendHexEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '#';
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

bool IsNameDelimiter(unsigned char byte) {
  switch (byte) {
    case '(': case ')': case '<': case '>': case '[': case ']': case '{': case '}': case '/': case '%':
      return true;
    default:
      return false;
  }
}

// Plain decimal text of the six significant digits of a value that "%g" would write with an exponent.
std::string PlainDecimal(double value) {
  const std::string scientific = ToChars(value, std::chars_format::scientific, 5);  // "-d.ddddde+XX"
  const std::size_t e = scientific.find('e');
  bool negative = false;
  std::string digits;
  for (std::size_t i = 0; i < e; ++i) {
    const char c = scientific[i];
    if (c == '-') negative = true;
    else if (c != '.') digits += c;
  }
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1), scientific.data() + scientific.size(),
                  exponent);
  const int point = exponent + 1;  // digits before the decimal point
  std::string text;
  if (negative) text += '-';
  if (point >= static_cast<int>(digits.size())) {
    text += digits;
    text.append(static_cast<std::size_t>(point) - digits.size(), '0');
  } else if (point > 0) {
    text.append(digits, 0, static_cast<std::size_t>(point));
    text += '.';
    text.append(digits, static_cast<std::size_t>(point));
  } else {
    text += "0.";
    text.append(static_cast<std::size_t>(-point), '0');
    text += digits;
  }
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

}  // namespace

void AppendReal(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += '0';
    return;
  }
  // Below a million, the value times 1000 is within 1e-7 of the exact product, and a value never lies exactly
  // half way between two thousandths (such a value is not binary), so rounding the product gives the digits of
  // "%.3f" unless it lies that close to a half.
  const double magnitude = std::fabs(value);
  if (magnitude < 1e6) {
    const double scaled = magnitude * 1000;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) > 1e-6) {
      auto thousandths = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
      char text[24];
      char* end = text;
      if (std::signbit(value)) *end++ = '-';
      end = std::to_chars(end, text + sizeof text, thousandths / 1000).ptr;
      if (unsigned part = static_cast<unsigned>(thousandths % 1000); part != 0) {
        *end++ = '.';
        *end++ = static_cast<char>('0' + part / 100);
        part %= 100;
        if (part != 0) {
          *end++ = static_cast<char>('0' + part / 10);
          if (part % 10 != 0) *end++ = static_cast<char>('0' + part % 10);
        }
      }
      out.append(text, end);
      return;
    }
  }
  // The fixed form of the largest double has 309 digits before the point.
  char text[320];
  char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3).ptr;
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  out.append(text, end);
}

std::string RealToString(double value) {
  std::string text;
  AppendReal(text, value);
  return text;
}

void AppendFormatG(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += '0';
    return;
  }
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  const std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
  if (written.find('e') == std::string_view::npos)
    out += written;
  else
    out += PlainDecimal(value);
}

std::string FormatG(double value) {
  std::string text;
  AppendFormatG(text, value);
  return text;
}

std::string IntToString(std::int32_t value) { return std::to_string(value); }

std::string EscapePdfName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const bool leadingSlash = i == 0 && byte == '/';
    if (!leadingSlash && (byte <= 0x20 || byte >= 0x7F || byte == '#' || IsNameDelimiter(byte))) {
      AppendHexEscape(out, byte);
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

std::string WideToPdfLiteral(kq::WStringView text) {
  // Every character converts to at least one byte, so no more than this many units can matter.
  constexpr std::size_t kMostUnits = 2 * kPdfLiteralMaxBytes + 2;
  if (text.size() > kMostUnits) {
    text = text.substr(0, kMostUnits);
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.remove_suffix(1);  // keep a surrogate pair whole
  }
  std::string bytes = WideToAnsiString(text);
  if (bytes.size() > kPdfLiteralMaxBytes) {
    // Too long: take whole characters (a surrogate pair is one) while they fit.
    bytes.clear();
    for (std::size_t i = 0; i < text.size();) {
      std::size_t units = 1;
      if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF)
        units = 2;
      const std::string character = WideToAnsiString(text.substr(i, units));
      if (bytes.size() + character.size() > kPdfLiteralMaxBytes) break;
      bytes += character;
      i += units;
    }
  }
  return PdfLiteralFromBytes(bytes);
}

std::string PdfStringBytes(kq::WStringView text) {
  std::string bytes = WideToAnsiString(text);
  const bool looksLikeMark = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
  if (!looksLikeMark && bytes.size() <= INT_MAX) {
    kq::WString back(bytes.size(), u'\0');
    const int units = bytes.empty() ? 0
                                    : MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                          back.data(), static_cast<int>(back.size()));
    back.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
    if (back == text) return bytes;
  }
  return PdfUtf16Bytes(text);
}

std::string PdfUtf16Bytes(kq::WStringView text) {
  std::string bytes = "\xFE\xFF";
  bytes.reserve(2 * text.size() + 2);
  for (const WCHAR unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

std::string PdfUriBytes(kq::WStringView text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : kq::Utf8FromWide(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string PdfLiteralFromBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  out += '(';
  for (const char c : bytes) {
    switch (c) {
      case '(': out += "\\("; break;
      case ')': out += "\\)"; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\015"; break;
      case '\n': out += "\\012"; break;
      default: out += c; break;
    }
  }
  out += ')';
  return out;
}
