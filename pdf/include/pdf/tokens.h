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

// "(" + the text in the machine's ANSI code page (unmappable characters become "?"), with ( ) and \ escaped by a
// backslash, + ")". At most 255 converted bytes are kept; a longer text is cut after its last whole character
// that fits, so a double-byte character is never split.
std::string WideToPdfLiteral(kq::WStringView text);

inline constexpr std::size_t kPdfLiteralMaxBytes = 255;
