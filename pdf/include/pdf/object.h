// The PDF object model: every object the writer puts into the file is built in memory as a small tree of these
// and turned into bytes by SerializeObject. The byte layout the serialiser gives (separators, line breaks, number
// formats, key order) is part of the file format.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "win/base.h"

// Type tags; 7 and 8 are not assigned.
inline constexpr std::uint32_t kPdfLiteral = 1;
inline constexpr std::uint32_t kPdfNumber = 2;
inline constexpr std::uint32_t kPdfText = 3;
inline constexpr std::uint32_t kPdfStream = 4;
inline constexpr std::uint32_t kPdfDictionary = 5;
inline constexpr std::uint32_t kPdfArray = 6;
inline constexpr std::uint32_t kPdfReference = 9;

class CPDF_Object {
 public:
  virtual ~CPDF_Object() = default;
  CPDF_Object(const CPDF_Object&) = delete;
  CPDF_Object& operator=(const CPDF_Object&) = delete;

  std::uint32_t Type() const { return type_; }

 protected:
  explicit CPDF_Object(std::uint32_t type) : type_(type) {}

 private:
  std::uint32_t type_;
};

// A raw token written unchanged: a name (/Page), an array or dictionary already written out ([0 0 612 792]), a
// literal string with its parentheses.
class CPDF_Literal final : public CPDF_Object {
 public:
  explicit CPDF_Literal(std::string token) : CPDF_Object(kPdfLiteral), token_(std::move(token)) {}
  const std::string& Token() const { return token_; }

 private:
  std::string token_;
};

class CPDF_Number final : public CPDF_Object {
 public:
  explicit CPDF_Number(double value) : CPDF_Object(kPdfNumber), value_(value) {}
  double Value() const { return value_; }

 private:
  double value_;
};

// Wide text, written as a PDF text string (UTF-16BE with a byte-order mark).
class CPDF_Text final : public CPDF_Object {
 public:
  explicit CPDF_Text(kq::WString text) : CPDF_Object(kPdfText), text_(std::move(text)) {}
  const kq::WString& Text() const { return text_; }

 private:
  kq::WString text_;
};

// Object number of an indirect object; the generation is always 0.
class CPDF_Reference final : public CPDF_Object {
 public:
  explicit CPDF_Reference(std::uint32_t number) : CPDF_Object(kPdfReference), number_(number) {}
  std::uint32_t Number() const { return number_; }

 private:
  std::uint32_t number_;
};

// Keys include their leading "/" and are kept in ascending unsigned byte order (a shorter prefix first), which is
// the order they are written in. A key occurs once; setting it again replaces (and destroys) the old value.
class CPDF_Dictionary final : public CPDF_Object {
 public:
  using Entries = std::map<std::string, std::unique_ptr<CPDF_Object>, std::less<>>;

  CPDF_Dictionary() : CPDF_Object(kPdfDictionary) {}

  void SetAtObject(std::string_view key, std::unique_ptr<CPDF_Object> value);
  void SetAt(std::string_view key, std::string_view token);
  void SetAtReference(std::string_view key, std::uint32_t objectNumber);
  void SetAtNumber(std::string_view key, double value);
  void SetAtText(std::string_view key, kq::WStringView text);
  // Destroys every value; the dictionary can be filled again.
  void RemoveAll() { entries_.clear(); }

  const CPDF_Object* Find(std::string_view key) const;
  const Entries& Items() const { return entries_; }

 private:
  Entries entries_;
};

class CPDF_Array final : public CPDF_Object {
 public:
  CPDF_Array() : CPDF_Object(kPdfArray) {}

  void Add(std::unique_ptr<CPDF_Object> element) { elements_.push_back(std::move(element)); }
  void Reserve(std::size_t count) { elements_.reserve(count); }
  const std::vector<std::unique_ptr<CPDF_Object>>& Elements() const { return elements_; }

 private:
  std::vector<std::unique_ptr<CPDF_Object>> elements_;
};

// A dictionary and the stream's data. The dictionary's /Length is set from the data when the stream is written.
class CPDF_Stream final : public CPDF_Object {
 public:
  CPDF_Stream() : CPDF_Object(kPdfStream) {}

  CPDF_Dictionary& Dictionary() { return dictionary_; }
  const CPDF_Dictionary& Dictionary() const { return dictionary_; }
  std::string& Data() { return data_; }
  const std::string& Data() const { return data_; }

 private:
  CPDF_Dictionary dictionary_;
  std::string data_;
};

// Appends the bytes of `object` to `out`. A kind it does not know adds nothing.
void SerializeObject(std::string& out, const CPDF_Object& object);

// Appends a PDF text string: "(" FE FF, each UTF-16 unit high byte first with ( ) \ CR LF escaped, ")" and a space.
void WritePdfTextString(std::string& out, kq::WStringView text);
