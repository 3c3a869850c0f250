// Shared pieces of the font tests: a fresh machine with a document writer whose output goes to C:\out.pdf, fonts
// realised by the engine from the machine's packages, and a font of fixed answers for the text writer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pdf/doc_writer.h"
#include "pdf/object.h"
#include "win/enginefont.h"
#include "win/gditypes.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/machine.h"
#include "win/paths.h"

namespace fonttest {

inline const std::filesystem::path kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const std::filesystem::path kDejaVuSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
inline const std::filesystem::path kDejaVuSansMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
inline const std::filesystem::path kWenQuanYi = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A copy of a TrueType file (not a collection) whose OS/2 embedding flags read `fsType`; empty when the file has no
// OS/2 table.
inline std::filesystem::path WithEmbeddingFlags(const std::filesystem::path& source, const std::filesystem::path& copy,
                                                std::uint16_t fsType) {
  std::vector<std::uint8_t> bytes = ReadFile(source);
  const auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(bytes.at(at) << 8 | bytes.at(at + 1)); };
  const auto u32 = [&](std::size_t at) { return u16(at) << 16 | u16(at + 2); };
  for (std::size_t i = 0, tables = u16(4); i < tables; ++i) {
    const std::size_t record = 12 + 16 * i;
    if (std::memcmp(bytes.data() + record, "OS/2", 4) != 0) continue;
    const std::size_t at = u32(record + 8) + 8;
    bytes.at(at) = static_cast<std::uint8_t>(fsType >> 8);
    bytes.at(at + 1) = static_cast<std::uint8_t>(fsType);
    std::filesystem::create_directories(copy.parent_path());
    std::ofstream(copy, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return copy;
  }
  return {};
}

class FontTest : public ::testing::Test {
 protected:
  FontTest() : scope_(machine_.Get()) {
    writer_.outputFile = CreateFileW(u"C:\\out.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  }

  void SetUp() override { ASSERT_NE(writer_.outputFile, INVALID_HANDLE_VALUE); }

  // A realisation the test keeps for its whole life (the engine's objects live as long as it does).
  FONTOBJ* Realize(kq::FontRequest request) {
    auto font = kq::RealizedFont::Realize(request);
    EXPECT_NE(font, nullptr) << request.file << ": " << GetLastError();
    if (!font) return nullptr;
    realized_.push_back(std::move(font));
    return realized_.back()->Object();
  }
  FONTOBJ* Realize(const std::filesystem::path& file, double pointSize = 12) {
    kq::FontRequest request;
    request.file = file;
    request.pointSize = pointSize;
    return Realize(request);
  }

  // Closes the output file and reads it back.
  std::string Output() {
    if (writer_.outputFile != INVALID_HANDLE_VALUE) CloseHandle(writer_.outputFile);
    writer_.outputFile = INVALID_HANDLE_VALUE;
    std::ifstream in(*kq::HostPathFromWindows(u"C:\\out.pdf"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  CPDF_DocWriter writer_;
  std::vector<std::unique_ptr<kq::RealizedFont>> realized_;
};

// An engine metrics record with its strings and charset list after it, as the engine lays it out.
class IfiRecord {
 public:
  // `charsets` empty: a dpCharSets offset of 0.
  explicit IfiRecord(IFIMETRICS base = Basic(), kq::WStringView face = u"Test Face", std::vector<BYTE> charsets = {0},
                     kq::WStringView family = u"Test Family", kq::WStringView unique = u"Test Face 1.0") {
    std::vector<std::uint8_t> tail;
    const auto add = [&](kq::WStringView text) {
      const auto at = static_cast<PTRDIFF>(sizeof(IFIMETRICS) + tail.size());
      for (WCHAR unit : text) {
        tail.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        tail.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
      tail.push_back(0);
      tail.push_back(0);
      return at;
    };
    base.dpwszFamilyName = add(family);
    base.dpwszFaceName = add(face);
    base.dpwszUniqueName = add(unique);
    base.dpCharSets = 0;
    if (!charsets.empty()) {
      base.dpCharSets = static_cast<PTRDIFF>(sizeof(IFIMETRICS) + tail.size());
      for (std::size_t i = 0; i < 16; ++i) tail.push_back(i < charsets.size() ? charsets[i] : DEFAULT_CHARSET);
    }
    base.cjThis = static_cast<ULONG>(sizeof(IFIMETRICS) + tail.size());
    // One byte block first, then the aligned copy: GCC's optimiser cannot follow the size of two copies.
    std::vector<std::uint8_t> bytes(sizeof base);
    std::memcpy(bytes.data(), &base, sizeof base);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    storage_.assign((bytes.size() + 7) / 8, 0);
    std::memcpy(storage_.data(), bytes.data(), bytes.size());
  }

  // A Latin sans-serif face of 1000 units per em.
  static IFIMETRICS Basic() {
    IFIMETRICS ifi{};
    ifi.jWinCharSet = ANSI_CHARSET;
    ifi.jWinPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    ifi.usWinWeight = 400;
    ifi.fwdUnitsPerEm = 1000;
    ifi.fwdTypoAscender = 800;
    ifi.fwdTypoDescender = -200;
    ifi.fwdCapHeight = 700;
    ifi.rclFontBox = {-100, 900, 1100, -300};
    return ifi;
  }

  const IFIMETRICS& operator*() const { return *reinterpret_cast<const IFIMETRICS*>(storage_.data()); }
  IFIMETRICS& operator*() { return *reinterpret_cast<IFIMETRICS*>(storage_.data()); }

 private:
  std::vector<std::uint64_t> storage_;
};

// A font that answers MapChar from a table of characters; a character not in it has no code.
class TableFont final : public CPDF_Font {
 public:
  TableFont() : CPDF_Font(nullptr, u"table") {}
  void Prepare(const IFIMETRICS&) override {}
  MappedChar MapChar(char32_t ch, HGLYPH, bool vertical) override {
    const auto found = map.find(ch);
    if (found == map.end()) return {};
    ++calls;
    MappedChar mapped = found->second;
    mapped.vertical = vertical && mapped.vertical;
    return mapped;
  }
  void WriteResources() override {}

  std::map<WCHAR, MappedChar> map;
  int calls = 0;
};

// Runs a program and returns what it printed, or nothing when it failed.
inline std::optional<std::string> RunTool(const std::string& command) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

// A one-page document written by hand around the fonts under test: objects 1 to 3 are the pages tree, the page and
// its content, so the fonts take their numbers from 4 on as the text needs them. Text is shown at 300 dpi on a
// Letter page, 12 points high.
class OnePageDocument {
 public:
  explicit OnePageDocument(CPDF_DocWriter& writer) : writer_(writer) {
    writer_.WriteRaw("%PDF-1.3\n");
    writer_.lastObjectNumber = 3;
    writer_.textWriter.SetDeviceSpace(72.0 / 300, 3300);  // 300 dpi, 11 inches
  }

  // Shows the text from device position (x, y), each character with its glyph from the font's glyph set.
  void Show(CPDF_Font& font, std::u16string_view text, double x, double y) {
    for (WCHAR ch : text) {
      const HGLYPH glyph = font.GlyphHandleOf(ch).value_or(0);
      const MappedChar probe = font.MapChar(ch, glyph, false);  // the width, to advance by
      const std::uint32_t resource =
          writer_.textWriter.ShowText(ch, glyph, 0, 12, 0, 0, 12, font, 1, x, y, 0, false);  // 12 points
      if (resource && std::find(resources_.begin(), resources_.end(), resource) == resources_.end())
        resources_.push_back(resource);
      x += probe.width * 12.0 / 1000 * 300 / 72;
    }
  }

  // Writes the fonts, the page and its content, the catalog and the cross-reference table.
  void Finish() {
    std::string content = "/DeviceRGB cs /DeviceRGB CS\n";  // as pages select their RGB space first
    writer_.textWriter.EndText(content);
    for (const auto& font : writer_.documentFonts) font->WriteResources();
    CPDF_Stream stream;
    stream.Data() = content;
    writer_.WriteIndirectObject(3, stream);
    std::string fonts = "<<";
    for (std::uint32_t r : resources_) fonts += " /F" + std::to_string(r) + " " + std::to_string(r) + " 0 R";
    CPDF_Dictionary page;
    page.SetAt("/Type", "/Page");
    page.SetAtReference("/Parent", 1);
    page.SetAt("/MediaBox", "[0 0 612 792]");
    page.SetAtReference("/Contents", 3);
    page.SetAt("/Resources", "<< /Font " + fonts + " >> >>");
    writer_.WriteIndirectObject(2, page);
    CPDF_Dictionary pages;
    pages.SetAt("/Type", "/Pages");
    pages.SetAt("/Kids", "[2 0 R]");
    pages.SetAtNumber("/Count", 1);
    writer_.WriteIndirectObject(1, pages);
    const std::uint32_t catalog = ++writer_.lastObjectNumber;
    CPDF_Dictionary root;
    root.SetAt("/Type", "/Catalog");
    root.SetAtReference("/Pages", 1);
    writer_.WriteIndirectObject(static_cast<std::int32_t>(catalog), root);
    const std::uint64_t xref = writer_.bytesWritten;
    std::ostringstream table;
    table << "xref\n0 " << catalog + 1 << "\n0000000000 65535 f \n";
    writer_.xrefOffsets.resize(catalog, 0);
    for (std::uint64_t offset : writer_.xrefOffsets) {
      char line[32];
      std::snprintf(line, sizeof line, "%010llu %05d %c \n", static_cast<unsigned long long>(offset),
                    offset ? 0 : 65535, offset ? 'n' : 'f');
      table << line;
    }
    table << "trailer\n<< /Size " << catalog + 1 << " /Root " << catalog << " 0 R >>\nstartxref\n" << xref
          << "\n%%EOF\n";
    writer_.WriteRaw(table.str());
  }

  const std::vector<std::uint32_t>& Resources() const { return resources_; }

 private:
  CPDF_DocWriter& writer_;
  std::vector<std::uint32_t> resources_;
};

}  // namespace fonttest
