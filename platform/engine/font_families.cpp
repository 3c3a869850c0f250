// The font families a program enumerates: the faces of the font files in the engine's font folders.
#include "win/font_families.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "font_face.h"
#include "font_file.h"
#include "font_metrics.h"
#include "win/enginefont.h"
#include "win/machine.h"

namespace {

bool IsFontFile(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".ttf" || extension == ".ttc" || extension == ".otf" || extension == ".otc" ||
         extension == ".pfb" || extension == ".pfa" || extension == ".t1";
}

// The machine's font folder, then the installed fonts, each in the order of the files' names.
std::vector<std::filesystem::path> FontFiles() {
  std::vector<std::filesystem::path> files;
  auto collect = [&](const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
      if (it->is_regular_file(ec) && IsFontFile(it->path())) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    files.insert(files.end(), found.begin(), found.end());
  };
  collect(kq::CurrentMachine().Root() / "drive_c" / "Windows" / "Fonts");
  // Then every font file installed on the host, as fontconfig knows them.
  std::vector<std::filesystem::path> installed;
  for (const auto& file : kq::InstalledFontFiles())
    if (IsFontFile(file)) installed.push_back(file);
  std::sort(installed.begin(), installed.end(),
            [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
  files.insert(files.end(), installed.begin(), installed.end());
  return files;
}

void CopyName(WCHAR* field, std::size_t units, kq::WStringView name) {
  const std::size_t n = std::min(name.size(), units - 1);
  std::copy_n(name.data(), n, field);
  field[n] = 0;
}

}  // namespace

namespace {

// One face as the enumeration hands it over.
struct FaceEntry {
  ENUMLOGFONTEXW logFont;
  NEWTEXTMETRICW metrics;
  DWORD type;
};

FaceEntry Describe(const kq::engine::FontFace& face, const kq::engine::FaceNames& names) {
  FT_Face ft = face.Face();
  const bool symbol = ft->charmap && ft->charmap->encoding == FT_ENCODING_MS_SYMBOL;
  FaceEntry entry{};
  LOGFONTW& font = entry.logFont.elfLogFont;
  font.lfWeight = (ft->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400;
  font.lfItalic = (ft->style_flags & FT_STYLE_FLAG_ITALIC) ? 1 : 0;
  font.lfCharSet = symbol ? SYMBOL_CHARSET : ANSI_CHARSET;
  CopyName(font.lfFaceName, LF_FACESIZE, names.family);
  CopyName(entry.logFont.elfFullName, LF_FULLFACESIZE, names.face);
  CopyName(entry.logFont.elfStyle, LF_FACESIZE, names.style);
  CopyName(entry.logFont.elfScript, LF_FACESIZE, symbol ? u"Symbol" : u"Western");
  entry.metrics.tm.tmWeight = font.lfWeight;
  entry.metrics.tm.tmItalic = font.lfItalic;
  entry.metrics.tm.tmCharSet = font.lfCharSet;
  entry.metrics.ntmSizeEM = ft->units_per_EM;
  entry.type = TRUETYPE_FONTTYPE;
  if (face.IsType1()) {
    entry.type = 0;
    entry.metrics.ntmFlags |= NTM_TYPE1;
  } else if (face.HasTable(FT_MAKE_TAG('C', 'F', 'F', ' '))) {
    entry.metrics.ntmFlags |= NTM_PS_OPENTYPE;
  } else if (face.HasTable(FT_MAKE_TAG('D', 'S', 'I', 'G'))) {
    entry.metrics.ntmFlags |= NTM_TT_OPENTYPE;
  }
  if (ft->style_flags & FT_STYLE_FLAG_BOLD) entry.metrics.ntmFlags |= NTM_BOLD;
  if (ft->style_flags & FT_STYLE_FLAG_ITALIC) entry.metrics.ntmFlags |= NTM_ITALIC;
  if (!(ft->style_flags & (FT_STYLE_FLAG_BOLD | FT_STYLE_FLAG_ITALIC))) entry.metrics.ntmFlags |= NTM_REGULAR;
  return entry;
}

// The machine's faces, read again only when the font files change (their names, sizes or times).
class FaceCatalog {
 public:
  explicit FaceCatalog(kq::Machine&) {}

  std::vector<FaceEntry> Faces() {
    const std::vector<std::filesystem::path> files = FontFiles();
    std::string fingerprint;
    for (const auto& path : files) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(path, ec);
      const auto time = std::filesystem::last_write_time(path, ec).time_since_epoch().count();
      fingerprint += path.string() + '|' + std::to_string(size) + '|' + std::to_string(time) + '\n';
    }
    std::lock_guard lock(mutex_);
    if (fingerprint == fingerprint_) return faces_;
    faces_.clear();
    for (const auto& path : files) {
      auto file = kq::engine::MappedFile::Open(path);
      if (!file) continue;
      for (UINT index = 0;; ++index) {
        auto face = kq::engine::FontFace::Open(*file, index);
        if (!face) break;
        const kq::engine::FaceNames names = kq::engine::ReadFaceNames(*face);
        if (!names.family.empty()) faces_.push_back(Describe(*face, names));
        if (index + 1 >= static_cast<UINT>(std::max<FT_Long>(face->Face()->num_faces, 1))) break;
      }
    }
    fingerprint_ = std::move(fingerprint);
    return faces_;
  }

 private:
  std::mutex mutex_;
  std::string fingerprint_;
  std::vector<FaceEntry> faces_;
};

}  // namespace

int EnumFontFamiliesExW(HDC context, LOGFONTW* font, FONTENUMPROCW callback, LPARAM lParam, DWORD) {
  if (!context || !font || !callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const kq::WString wanted(font->lfFaceName, std::find(font->lfFaceName, font->lfFaceName + LF_FACESIZE, u'\0'));
  std::set<kq::WString> seen;
  int answer = 1;
  for (const FaceEntry& entry : kq::CurrentMachine().Service<FaceCatalog>().Faces()) {
    const kq::WString family(entry.logFont.elfLogFont.lfFaceName);
    const bool listed = wanted.empty() ? seen.insert(family).second : kq::EqualsIgnoreAsciiCase(family, wanted);
    if (!listed) continue;
    answer = callback(&entry.logFont.elfLogFont, &entry.metrics.tm, entry.type, lParam);
    if (answer == 0) return 0;
  }
  return answer;
}
