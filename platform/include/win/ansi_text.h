// Texts in the ANSI code page of the calling thread's machine, as the narrow (A) calls take and give them.
#pragma once

#include <string>
#include <string_view>

#include "win/base.h"

namespace kq {

WString WideOfAnsi(std::string_view ansi);
std::string AnsiOfWide(WStringView wide);

}  // namespace kq
