#include "pdf/tokens.h"

#include <charconv>
#include <climits>
#include <cmath>
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

std::string RealToString(double value) {
  if (!std::isfinite(value)) return "0";
  std::string text = ToChars(value, std::chars_format::fixed, 3);
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string FormatG(double value) {
  if (!std::isfinite(value)) return "0";
  std::string text = ToChars(value, std::chars_format::general, 6);
  if (text.find('e') == std::string::npos) return text;
  return PlainDecimal(value);
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
