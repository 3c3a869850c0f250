#include "dovecap/converter_registry.h"

#include "dovecap/word_converter.h"

namespace dovecap {

namespace {
// The comparison buffer holds 16 code units with its terminating zero.
constexpr std::size_t kLongestExtension = 15;
}  // namespace

ConverterRegistry::ConverterRegistry() {
  auto word = std::make_shared<WordConverterFactory>();
  entries_.emplace_back(u"doc", word);
  entries_.emplace_back(u"docx", word);
}

std::unique_ptr<DocumentConverter> ConverterRegistry::ConvertByExtension(const WCHAR* path, int attach) {
  if (!path) return nullptr;
  const std::u16string_view text(path);
  const auto dot = text.rfind(u'.');
  if (dot == std::u16string_view::npos || dot == 0 || dot + 1 == text.size()) return nullptr;
  const auto extension = text.substr(dot + 1);
  if (extension.size() > kLongestExtension) return nullptr;
  for (const auto& [key, factory] : entries_) {
    if (!kq::EqualsIgnoreAsciiCase(key, extension)) continue;
    if (!factory->Accepts(path, attach)) return nullptr;
    return factory->Create(path, attach);
  }
  return nullptr;
}

int WordConverterFactory::Accepts(const WCHAR*, int) { return 1; }

std::unique_ptr<DocumentConverter> WordConverterFactory::Create(const WCHAR* path, int attach) {
  auto converter = std::make_unique<WordConverter>(path ? std::u16string(path) : std::u16string(), attach);
  if (!converter->Connect()) return nullptr;
  return converter;
}

}  // namespace dovecap
