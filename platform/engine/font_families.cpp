// The font families a program enumerates: the faces of the font files in the engine's font folders.
#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "font_face.h"
#include "font_file.h"
#include "font_metrics.h"
#include "win/font_families.h"
#include "win/machine.h"

namespace {

bool IsFontFile(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".ttf" || extension == ".ttc" || extension == ".otf" || extension == ".otc" ||
         extension == ".pfb" || extension == ".pfa" || extension == ".t1";
}

// The machine's font folder, then the system's, each in the order of the files' names.
std::vector<std::filesystem::path> FontFiles() {
  std::vector<std::filesystem::path> files;
  auto collect = [&](const std::filesystem::path& folder, bool recursive) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    if (recursive) {
      for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
           !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && IsFontFile(it->path())) found.push_back(it->path());
      }
    } else {
      for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
           it.increment(ec)) {
        if (it->is_regular_file(ec) && IsFontFile(it->path())) found.push_back(it->path());
      }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    files.insert(files.end(), found.begin(), found.end());
  };
  collect(kq::CurrentMachine().Root() / "drive_c" / "Windows" / "Fonts", false);
  collect("/usr/share/fonts", true);
  return files;
}

void CopyName(WCHAR* field, std::size_t units, kq::WStringView name) {
  const std::size_t n = std::min(name.size(), units - 1);
  std::copy_n(name.data(), n, field);
  field[n] = 0;
}

}  // namespace

int EnumFontFamiliesExW(HDC context, LOGFONTW* font, FONTENUMPROCW callback, LPARAM lParam, DWORD) {
  if (!context || !font || !callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const kq::WString wanted(font->lfFaceName, std::find(font->lfFaceName, font->lfFaceName + LF_FACESIZE, u'\0'));
  std::set<kq::WString> seen;
  int answer = 1;
  for (const auto& path : FontFiles()) {
    auto file = kq::engine::MappedFile::Open(path);
    if (!file) continue;
    for (UINT index = 0;; ++index) {
      auto face = kq::engine::FontFace::Open(*file, index);
      if (!face) break;
      const kq::engine::FaceNames names = kq::engine::ReadFaceNames(*face);
      const UINT faces = static_cast<UINT>(std::max<FT_Long>(face->Face()->num_faces, 1));
      const bool listed = wanted.empty() ? seen.insert(names.family).second
                                         : kq::EqualsIgnoreAsciiCase(names.family, wanted);
      if (listed && !names.family.empty()) {
        FT_Face ft = face->Face();
        const bool symbol = ft->charmap && ft->charmap->encoding == FT_ENCODING_MS_SYMBOL;
        ENUMLOGFONTEXW logFont{};
        logFont.elfLogFont.lfWeight = (ft->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400;
        logFont.elfLogFont.lfItalic = (ft->style_flags & FT_STYLE_FLAG_ITALIC) ? 1 : 0;
        logFont.elfLogFont.lfCharSet = symbol ? SYMBOL_CHARSET : ANSI_CHARSET;
        CopyName(logFont.elfLogFont.lfFaceName, LF_FACESIZE, names.family);
        CopyName(logFont.elfFullName, LF_FULLFACESIZE, names.face);
        CopyName(logFont.elfStyle, LF_FACESIZE, names.style);
        CopyName(logFont.elfScript, LF_FACESIZE, symbol ? u"Symbol" : u"Western");
        NEWTEXTMETRICW metrics{};
        metrics.tm.tmWeight = logFont.elfLogFont.lfWeight;
        metrics.tm.tmItalic = logFont.elfLogFont.lfItalic;
        metrics.tm.tmCharSet = logFont.elfLogFont.lfCharSet;
        metrics.ntmSizeEM = ft->units_per_EM;
        DWORD type = TRUETYPE_FONTTYPE;
        if (face->IsType1()) {
          type = 0;
          metrics.ntmFlags |= NTM_TYPE1;
        } else if (face->HasTable(FT_MAKE_TAG('C', 'F', 'F', ' '))) {
          metrics.ntmFlags |= NTM_PS_OPENTYPE;
        } else if (face->HasTable(FT_MAKE_TAG('D', 'S', 'I', 'G'))) {
          metrics.ntmFlags |= NTM_TT_OPENTYPE;
        }
        if (ft->style_flags & FT_STYLE_FLAG_BOLD) metrics.ntmFlags |= NTM_BOLD;
        if (ft->style_flags & FT_STYLE_FLAG_ITALIC) metrics.ntmFlags |= NTM_ITALIC;
        if (!(ft->style_flags & (FT_STYLE_FLAG_BOLD | FT_STYLE_FLAG_ITALIC))) metrics.ntmFlags |= NTM_REGULAR;
        answer = callback(&logFont.elfLogFont, &metrics.tm, type, lParam);
        if (answer == 0) return 0;
      }
      if (index + 1 >= faces) break;
    }
  }
  return answer;
}
