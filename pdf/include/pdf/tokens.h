// The text of PDF tokens: numbers, escaped names and literal strings made from wide text. None of these depends on
// the C locale.
#pragma once

#include <string>
#include <string_view>

#include "win/base.h"

// "%.3f", then trailing zeros and a trailing point removed: 1.5, 100, 0, and -0 for values in (-0.0005, 0).
// NaN and infinities give 0.
std::string RealToString(double value);
// RealToString(value) appended to `out`.
void AppendReal(std::string& out, double value);

// What "%g" gives (six significant digits, no trailing zeros) whenever that has no exponent; otherwise the same
// six digits as plain decimal text, since PDF numbers have no exponent form: 1234567 gives 1234570 and 0.0000123
// gives 0.0000123. NaN and infinities give 0. For content streams and every other "%g" place.
std::string FormatG(double value);
// FormatG(value) appended to `out`.
void AppendFormatG(std::string& out, double value);

// "%d".
std::string IntToString(std::int32_t value);

// Copies a name, writing as "#%02X" every byte from 0x00 to 0x20, 0x7F to 0xFF, "#" and the delimiters
// ( ) < > [ ] { } / %. A "/" in the first place is the name's own and stays.
std::string EscapePdfName(std::string_view name);

// "(" + the text in the machine's ANSI code page (unmappable characters become "?"), escaped as
// PdfLiteralFromBytes does, + ")". At most 255 converted bytes are kept; a longer text is cut after its last whole
// character that fits, so a double-byte character is never split.
std::string WideToPdfLiteral(kq::WStringView text);

inline constexpr std::size_t kPdfLiteralMaxBytes = 255;

// The bytes of a string that keeps every character of the text, at any length: the machine's ANSI code page bytes
// when they give the text back exactly (and do not begin as a byte-order mark does), else the UTF-16BE text string
// (FE FF, then the units). Two different texts never have the same bytes. For destination names and file paths.
std::string PdfStringBytes(kq::WStringView text);

// The UTF-16BE text string of the text: FE FF, then its units high byte first.
std::string PdfUtf16Bytes(kq::WStringView text);

// A URI's bytes: ASCII as it stands, every other character (and every control) as percent-encoded UTF-8.
std::string PdfUriBytes(kq::WStringView text);

// "(" + the bytes with ( ) and \ escaped by a backslash and CR and LF as octal escapes, so a reader reads them back
// unchanged, + ")".
std::string PdfLiteralFromBytes(std::string_view bytes);
