#include "pdf/text.h"

#include <climits>
#include <vector>

std::string WideToAnsiString(kq::WStringView text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int count = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, text.data(), count, bytes.data(), size, nullptr, nullptr);
  bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return bytes;
}

kq::WString ExtractDocumentTitle(kq::WStringView name) {
  static constexpr kq::WStringView kSeparators = u"\\/:*?\"<>|";
  const std::size_t last = name.find_last_of(kSeparators);
  std::size_t start = last == kq::WStringView::npos ? 0 : last + 1;
  while (start < name.size() && name[start] == u' ') ++start;
  std::size_t end = name.find(u'.', start);
  if (end == kq::WStringView::npos) end = name.size();
  kq::WString title;
  for (std::size_t i = start; i < end; ++i)
    if (name[i] >= 0x20) title += name[i];
  return title;
}
