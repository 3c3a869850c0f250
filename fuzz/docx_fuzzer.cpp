// Fuzz target of the word processor's .docx reader and its layout. An input that begins as a zip archive ("PK") is
// the file itself; any other is the text of the parts, split at zero bytes, in the order of kParts, packed into an
// archive here so the fuzzer works on the XML rather than on the archive's checksums. A file is either read and
// laid out, or refused with a DocxError.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "docx_reader.h"
#include "layout.h"
#include "win/machine.h"

namespace {

constexpr const char* kParts[] = {"word/document.xml", "word/numbering.xml",           "word/styles.xml",
                                  "word/settings.xml", "word/_rels/document.xml.rels", "word/comments.xml",
                                  "_rels/.rels"};

struct Host {
  Host() : scope(machine.Get()), file(machine->Root() / "fuzz.docx") {}
  kq::TemporaryMachine machine;
  kq::MachineScope scope;
  std::filesystem::path file;
  kq::wordproc::FontCache fonts;
};

bool Pack(const std::filesystem::path& file, const std::string& input) {
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  std::size_t at = 0;
  for (const char* name : kParts) {
    if (at > input.size()) break;
    const std::size_t end = std::min(input.find('\0', at), input.size());
    // libzip reads the buffer when the archive is closed.
    zip_source_t* source = zip_source_buffer(archive, input.data() + at, end - at, 0);
    const zip_int64_t index = source ? zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      zip_discard(archive);
      return false;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    at = end + 1;
  }
  return zip_close(archive) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Never destroyed: at exit the platform's own tables may already be gone.
  static Host& host = *new Host;
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (input.rfind("PK", 0) == 0) {
    std::ofstream(host.file, std::ios::binary | std::ios::trunc) << input;
  } else if (!Pack(host.file, input)) {
    return 0;
  }
  try {
    const kq::wordproc::Document document = kq::wordproc::ReadDocx(host.file);
    const kq::wordproc::Layout layout = kq::wordproc::LayOut(document, host.fonts);
    // Every position of the text has its box.
    if (layout.chars.size() != static_cast<std::size_t>(document.ParagraphStarts().back())) std::abort();
  } catch (const kq::wordproc::DocxError&) {
  }
  return 0;
}
