// kqbench_cairo: the other side of kqbench's pairs. Prints a job file of the benchmark's ops (text, rect, line, path
// with M, L, C and Z, image of a PNG file) to a PDF with cairo's PDF surface, reading the job a page at a time.
// Font files are taken from beside the job, else found through fontconfig; cairo embeds subsets with ToUnicode.
//
//   kqbench_cairo JOB.json OUT.pdf
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Rgb {
  double r, g, b;
};

Rgb ColorOf(const Json& value) {
  const std::string text = value.get<std::string>();
  unsigned c = 0;
  if (text.size() != 7 || text[0] != '#' || std::sscanf(text.c_str() + 1, "%6x", &c) != 1)
    throw Failure("not a colour: " + text);
  return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0};
}

// A font file by its name through fontconfig's list of the system's fonts, as kqprint walks the font folders.
std::filesystem::path FontconfigFile(const std::string& name) {
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
  std::filesystem::path found;
  for (int i = 0; fonts && i < fonts->nfont && found.empty(); ++i) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) == FcResultMatch &&
        strcasecmp(std::filesystem::path(reinterpret_cast<const char*>(file)).filename().c_str(), name.c_str()) == 0)
      found = reinterpret_cast<const char*>(file);
  }
  if (fonts) FcFontSetDestroy(fonts);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

class Printer {
 public:
  Printer(std::filesystem::path folder, const std::filesystem::path& output) : folder_(std::move(folder)) {
    surface_ = cairo_pdf_surface_create(output.c_str(), 595.28, 841.89);  // A4, as kqbench's jobs ask
    cr_ = cairo_create(surface_);
  }
  ~Printer() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
    for (auto& [name, face] : fonts_) cairo_font_face_destroy(face);
    for (auto& [name, image] : images_) cairo_surface_destroy(image);
  }

  void Page(const Json& page) {
    for (const Json& op : page.at("ops")) Op(op);
    cairo_show_page(cr_);
    ++pages_;
  }

  // Finishes the file; false when cairo failed anywhere on the way.
  bool Finish() {
    cairo_surface_finish(surface_);
    return cairo_status(cr_) == CAIRO_STATUS_SUCCESS && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
  }
  long Pages() const { return pages_; }

 private:
  void Op(const Json& op) {
    const std::string name = op.at("op").get<std::string>();
    if (name == "text") {
      Text(op);
    } else if (name == "rect") {
      const Json& r = op.at("rect");
      cairo_rectangle(cr_, r[0], r[1], r[2].get<double>() - r[0].get<double>(),
                      r[3].get<double>() - r[1].get<double>());
      Fill(op.at("fill"), false);
    } else if (name == "line") {
      cairo_move_to(cr_, op.at("from")[0], op.at("from")[1]);
      cairo_line_to(cr_, op.at("to")[0], op.at("to")[1]);
      Stroke(op.at("stroke"));
    } else if (name == "path") {
      Path(op.at("d").get<std::string>());
      if (op.contains("fill")) Fill(op.at("fill"), op.contains("stroke"));
      if (op.contains("stroke")) Stroke(op.at("stroke"));
      cairo_new_path(cr_);
    } else if (name == "image") {
      Image(op);
    } else {
      throw Failure("op \"" + name + "\" is not one of the benchmark's");
    }
  }

  void Text(const Json& op) {
    const Json& font = op.at("font");
    cairo_set_font_face(cr_, Font(font.at("file").get<std::string>()));
    cairo_set_font_size(cr_, font.at("size").get<double>());
    cairo_font_extents_t extents;
    cairo_font_extents(cr_, &extents);
    const Rgb c = ColorOf(op.value("color", Json("#000000")));
    cairo_set_source_rgb(cr_, c.r, c.g, c.b);
    // The op's point is the text's top left, as the print tool draws it.
    cairo_move_to(cr_, op.at("at")[0], op.at("at")[1].get<double>() + extents.ascent);
    cairo_show_text(cr_, op.at("text").get<std::string>().c_str());
  }

  void Fill(const Json& fill, bool preserve) {
    const Json& color = fill.is_object() ? fill.at("color") : fill;
    cairo_set_fill_rule(cr_, fill.is_object() && fill.value("rule", "") == "evenodd" ? CAIRO_FILL_RULE_EVEN_ODD
                                                                                     : CAIRO_FILL_RULE_WINDING);
    const Rgb c = ColorOf(color);
    cairo_set_source_rgb(cr_, c.r, c.g, c.b);
    preserve ? cairo_fill_preserve(cr_) : cairo_fill(cr_);
  }

  void Stroke(const Json& stroke) {
    const Json& color = stroke.is_object() ? stroke.at("color") : stroke;
    cairo_set_line_width(cr_, stroke.is_object() ? stroke.value("width", 1.0) : 1.0);
    const Rgb c = ColorOf(color);
    cairo_set_source_rgb(cr_, c.r, c.g, c.b);
    cairo_stroke(cr_);
  }

  void Path(const std::string& d) {
    std::istringstream in(d);
    std::string command;
    while (in >> command) {
      double p[6];
      const int count = command == "M" || command == "L" ? 2 : command == "C" ? 6 : command == "Z" ? 0 : -1;
      if (count < 0) throw Failure("path command \"" + command + "\" is not one of the benchmark's");
      for (int i = 0; i < count; ++i)
        if (!(in >> p[i])) throw Failure("path \"" + d + "\": a number is missing");
      if (command == "M") cairo_move_to(cr_, p[0], p[1]);
      if (command == "L") cairo_line_to(cr_, p[0], p[1]);
      if (command == "C") cairo_curve_to(cr_, p[0], p[1], p[2], p[3], p[4], p[5]);
      if (command == "Z") cairo_close_path(cr_);
    }
  }

  void Image(const Json& op) {
    const std::string name = op.at("file").get<std::string>();
    cairo_surface_t*& image = images_[name];
    if (!image) {
      image = cairo_image_surface_create_from_png((folder_ / name).c_str());
      if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) throw Failure(name + ": not a PNG file cairo reads");
    }
    const Json& r = op.at("rect");
    const double x = r[0], y = r[1], w = r[2].get<double>() - x, h = r[3].get<double>() - y;
    cairo_save(cr_);
    cairo_translate(cr_, x, y);
    cairo_scale(cr_, w / cairo_image_surface_get_width(image), h / cairo_image_surface_get_height(image));
    cairo_set_source_surface(cr_, image, 0, 0);
    cairo_paint(cr_);
    cairo_restore(cr_);
  }

  cairo_font_face_t* Font(const std::string& name) {
    cairo_font_face_t*& face = fonts_[name];
    if (face) return face;
    std::error_code ec;
    std::filesystem::path file = folder_ / name;
    if (!std::filesystem::is_regular_file(file, ec)) file = FontconfigFile(name);
    if (file.empty()) throw Failure("font " + name + " is neither beside the job nor known to fontconfig");
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(file.c_str()));
    FcPatternAddInteger(pattern, FC_INDEX, 0);
    face = cairo_ft_font_face_create_for_pattern(pattern);
    FcPatternDestroy(pattern);
    return face;
  }

  std::filesystem::path folder_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  std::map<std::string, cairo_font_face_t*> fonts_;
  std::map<std::string, cairo_surface_t*> images_;
  long pages_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kqbench_cairo JOB.json OUT.pdf\n");
    return 2;
  }
  const std::filesystem::path jobFile = argv[1];
  std::ifstream in(jobFile, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "kqbench_cairo: %s cannot be read\n", argv[1]);
    return 1;
  }
  // What cairo and fontconfig keep for the process is handed back at the end, so a leak checker sees only ours.
  struct Release {
    ~Release() {
      cairo_debug_reset_static_data();
      FcFini();
    }
  } release;
  try {
    Printer printer(std::filesystem::absolute(jobFile).parent_path(), argv[2]);
    // Each page is drawn as soon as it is read and then dropped, so memory stays that of a page.
    Json::parser_callback_t onEvent = [&](int depth, nlohmann::json::parse_event_t event, Json& parsed) {
      if (event != nlohmann::json::parse_event_t::object_end || depth != 2) return true;
      printer.Page(parsed);
      return false;
    };
    if (!Json::parse(in, onEvent).is_object()) throw Failure("a job is a JSON object");
    if (printer.Pages() == 0) throw Failure("the job has no pages");
    if (!printer.Finish()) throw Failure("cairo could not write the PDF");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kqbench_cairo: %s\n", e.what());
    return 1;
  }
  return 0;
}
