#include "fonts/standard_faces.h"

namespace {

struct StandardFace {
  const char* faceName;
  const char* baseName;
};

constexpr StandardFace kStandardFaces[] = {
    {"Arial", "Helvetica"},
    {"Arial Bold", "Helvetica-Bold"},
    {"Arial Italic", "Helvetica-Oblique"},
    {"Arial Bold Italic", "Helvetica-BoldOblique"},
    {"Times New Roman", "Times-Roman"},
    {"Times New Roman Bold", "Times-Bold"},
    {"Times New Roman Italic", "Times-Italic"},
    {"Times New Roman Bold Italic", "Times-BoldItalic"},
    {"Courier New", "Courier"},
    {"Courier New Bold", "Courier-Bold"},
    {"Courier New Italic", "Courier-Oblique"},
    {"Courier New Bold Italic", "Courier-BoldOblique"},
};

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  return *a == *b;
}

const StandardFace* FindStandardFace(const char* faceName) {
  if (!faceName) return nullptr;
  for (const StandardFace& face : kStandardFaces)
    if (EqualsIgnoreAsciiCase(faceName, face.faceName)) return &face;
  return nullptr;
}

}  // namespace

bool IsStandardFace(const char* faceName) { return FindStandardFace(faceName) != nullptr; }

const char* StandardFaceBaseName(const char* faceName) {
  const StandardFace* face = FindStandardFace(faceName);
  return face ? face->baseName : "";
}
