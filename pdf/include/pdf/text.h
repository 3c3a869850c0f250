// Text conversions shared by the writer and the driver: wide text to the ANSI code page, message formatting and
// the default file title made from a document name.
#pragma once

#include <string>
#include <type_traits>

#include "win/base.h"

// The text in the machine's ANSI code page with the platform's default conversion ("?" for what it cannot map).
std::string WideToAnsiString(kq::WStringView text);

// Formats a message with the platform's UTF-16 formatter (%d, %u, %s with wide arguments, %c, %%) into a string of
// whatever length the text needs, so no message can overflow a buffer.
template <class... Args>
kq::WString FormatString(const WCHAR* format, Args... args) {
  static_assert(((std::is_pointer_v<Args> || (std::is_integral_v<Args> && sizeof(Args) <= sizeof(int))) && ...),
                "the formatter takes 32-bit integers and wide strings");
  return kq::FormatWideString(format, args...);
}

// The part of a document name that serves as a default file title: after the last of \ / : * ? " < > |, without
// leading spaces, up to the first "." and without characters below U+0020. "C:\Reports\ Q3 summary.final.doc"
// gives "Q3 summary"; a name that ends in a separator gives "".
kq::WString ExtractDocumentTitle(kq::WStringView name);
