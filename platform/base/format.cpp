#include <cstdarg>
#include <string>

#include "win/base.h"

namespace kq {

namespace {

void AppendNumber(WString& out, long long v) {
  const std::string digits = std::to_string(v);
  out.append(digits.begin(), digits.end());
}

WString FormatList(const WCHAR* format, va_list args) {
  WString out;
  if (!format) return out;
  for (const WCHAR* p = format; *p; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    switch (p[1]) {
      case u'd':
        AppendNumber(out, va_arg(args, int));
        ++p;
        break;
      case u'u':
        AppendNumber(out, va_arg(args, unsigned int));
        ++p;
        break;
      case u's': {
        const WCHAR* s = va_arg(args, const WCHAR*);
        out += s ? WStringView(s) : WStringView(u"(null)");
        ++p;
        break;
      }
      case u'c':
        out += static_cast<WCHAR>(va_arg(args, int));
        ++p;
        break;
      case u'%':
        out += u'%';
        ++p;
        break;
      case 0:
        out += u'%';
        break;
      default:
        out += u'%';
        break;
    }
  }
  return out;
}

}  // namespace

int FormatWide(WCHAR* buffer, std::size_t capacity, const WCHAR* format, ...) {
  if (!buffer || capacity == 0) return -1;
  va_list args;
  va_start(args, format);
  const WString text = FormatList(format, args);
  va_end(args);
  const bool fits = text.size() < capacity;
  const std::size_t n = fits ? text.size() : capacity - 1;
  text.copy(buffer, n);
  buffer[n] = 0;
  return fits ? static_cast<int>(n) : -1;
}

WString FormatWideString(const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  WString text = FormatList(format, args);
  va_end(args);
  return text;
}

}  // namespace kq
