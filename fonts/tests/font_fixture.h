// Shared pieces of the font tests: a fresh machine with a document writer whose output goes to C:\out.pdf, fonts
// realised by the engine from the machine's packages, and a font of fixed answers for the text writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pdf/doc_writer.h"
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
    storage_.resize((base.cjThis + 7) / 8);
    std::memcpy(storage_.data(), &base, sizeof base);
    std::memcpy(reinterpret_cast<std::uint8_t*>(storage_.data()) + sizeof base, tail.data(), tail.size());
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
  MappedChar MapChar(WCHAR ch, HGLYPH, bool vertical) override {
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

}  // namespace fonttest
