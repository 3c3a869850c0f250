#include "pdf/object.h"

#include <optional>

#include "pdf/tokens.h"

void CPDF_Dictionary::SetAtObject(std::string_view key, std::unique_ptr<CPDF_Object> value) {
  auto it = entries_.find(key);
  if (it != entries_.end()) {
    it->second = std::move(value);
  } else {
    entries_.emplace(std::string(key), std::move(value));
  }
}

void CPDF_Dictionary::SetAt(std::string_view key, std::string_view token) {
  SetAtObject(key, std::make_unique<CPDF_Literal>(std::string(token)));
}

void CPDF_Dictionary::SetAtReference(std::string_view key, std::uint32_t objectNumber) {
  SetAtObject(key, std::make_unique<CPDF_Reference>(objectNumber));
}

void CPDF_Dictionary::SetAtNumber(std::string_view key, double value) {
  SetAtObject(key, std::make_unique<CPDF_Number>(value));
}

void CPDF_Dictionary::SetAtText(std::string_view key, kq::WStringView text) {
  SetAtObject(key, std::make_unique<CPDF_Text>(kq::WString(text)));
}

const CPDF_Object* CPDF_Dictionary::Find(std::string_view key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : it->second.get();
}

namespace {

void SerializeEntry(std::string& out, std::string_view key, const CPDF_Object& value) {
  out += key;
  out += ' ';
  SerializeObject(out, value);
  out += '\n';
}

// A stream's dictionary is written with /Length set to its data's size in its key place, whatever /Length the
// dictionary holds.
void SerializeDictionary(std::string& out, const CPDF_Dictionary& dictionary, std::optional<std::size_t> length) {
  static constexpr std::string_view kLength = "/Length";
  out += "<<\n";
  bool lengthDone = !length.has_value();
  for (const auto& [key, value] : dictionary.Items()) {
    if (!lengthDone && std::string_view(key) >= kLength) {
      SerializeEntry(out, kLength, CPDF_Number(static_cast<double>(*length)));
      lengthDone = true;
      if (key == kLength) continue;
    }
    SerializeEntry(out, key, *value);
  }
  if (!lengthDone) SerializeEntry(out, kLength, CPDF_Number(static_cast<double>(*length)));
  out += ">>\n";
}

}  // namespace

void WritePdfTextString(std::string& out, kq::WStringView text) {
  out += PdfLiteralFromBytes(PdfUtf16Bytes(text));
  out += ' ';
}

namespace {

// The object as the kind its tag names, or null when the tag and the kind disagree.
template <class T>
const T* As(const CPDF_Object& object) {
  return dynamic_cast<const T*>(&object);
}

}  // namespace

void SerializeObject(std::string& out, const CPDF_Object& object) {
  switch (object.Type()) {
    case kPdfLiteral:
      if (const auto* literal = As<CPDF_Literal>(object)) {
        out += literal->Token();
        out += ' ';
      }
      break;
    case kPdfNumber:
      if (const auto* number = As<CPDF_Number>(object)) {
        out += RealToString(number->Value());
        out += ' ';
      }
      break;
    case kPdfText:
      if (const auto* text = As<CPDF_Text>(object)) WritePdfTextString(out, text->Text());
      break;
    case kPdfStream:
      if (const auto* stream = As<CPDF_Stream>(object)) {
        SerializeDictionary(out, stream->Dictionary(), stream->Data().size());
        out += "stream\n";
        out += stream->Data();
        out += "\nendstream\n";
      }
      break;
    case kPdfDictionary:
      if (const auto* dictionary = As<CPDF_Dictionary>(object)) SerializeDictionary(out, *dictionary, std::nullopt);
      break;
    case kPdfArray:
      if (const auto* array = As<CPDF_Array>(object)) {
        out += "[ ";
        for (const auto& element : array->Elements()) SerializeObject(out, *element);
        out += "] ";
      }
      break;
    case kPdfReference:
      if (const auto* reference = As<CPDF_Reference>(object)) {
        out += std::to_string(reference->Number());
        out += " 0 R ";
      }
      break;
    default:
      break;  // an unknown kind writes nothing
  }
}
