// Reads back the indirect objects the writer put into a file: each object's dictionary text and, for a stream, its
// data (inflated when it is Flate-compressed).
#pragma once

#include <zlib.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fonttest {

struct PdfObject {
  std::string dictionary;  // "<<\n/Key value \n...>>", or the object's text when it is no dictionary
  std::optional<std::string> data;
};

// The objects in file order, by number.
inline std::vector<std::pair<int, PdfObject>> ReadObjects(const std::string& file) {
  std::vector<std::pair<int, PdfObject>> objects;
  const std::string mark = " 0 obj\n";
  for (std::size_t at = file.find(mark); at != std::string::npos; at = file.find(mark, at + 1)) {
    std::size_t start = at;
    while (start > 0 && file[start - 1] >= '0' && file[start - 1] <= '9') --start;
    if (start > 0 && file[start - 1] != '\n') continue;
    const int number = std::atoi(file.c_str() + start);
    const std::size_t body = at + mark.size();
    PdfObject object;
    const std::size_t end = file.find("\n>>\n", body);
    const std::size_t endobj = file.find("endobj\n", body);
    if (file.compare(body, 2, "<<") == 0 && end != std::string::npos && end < endobj) {
      object.dictionary = file.substr(body, end + 3 - body);
      if (file.compare(end + 4, 7, "stream\n") == 0) {
        const std::size_t length = file.find("/Length ", body);
        const std::size_t size = std::strtoul(file.c_str() + length + 8, nullptr, 10);
        object.data = file.substr(end + 11, size);
        at = end + 11 + size;
      }
    } else {
      object.dictionary = file.substr(body, endobj - body);
    }
    objects.emplace_back(number, std::move(object));
  }
  return objects;
}

inline std::string Inflate(const std::string& packed) {
  std::string out(packed.size() * 4 + 1024, '\0');
  for (;;) {
    uLongf size = out.size();
    const int result = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                                  reinterpret_cast<const Bytef*>(packed.data()), packed.size());
    if (result == Z_BUF_ERROR) {
      out.resize(out.size() * 2);
      continue;
    }
    if (result != Z_OK) return {};
    out.resize(size);
    return out;
  }
}

// The number after `key` in a dictionary, -1 when the key is missing.
inline long DictNumber(const std::string& dictionary, const std::string& key) {
  const std::size_t at = dictionary.find(key + " ");
  return at == std::string::npos ? -1 : std::strtol(dictionary.c_str() + at + key.size() + 1, nullptr, 10);
}

}  // namespace fonttest
