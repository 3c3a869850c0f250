#include "fonts/standard_faces.h"

#include <gtest/gtest.h>

namespace {

TEST(StandardFaces, FaceNamesAndBaseNames) {
  struct Case {
    const char* face;
    const char* base;  // "" when the face is not standard
  };
  const Case cases[] = {
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
      {"arial bold", "Helvetica-Bold"},  // ASCII case does not matter
      {"TIMES NEW ROMAN", "Times-Roman"},
      {"Arial Black", ""},  // a longer name is another face
      {"Aria", ""},         // and so is a shorter one
      {"Arial Bold ", ""},
      {"ArialBold", ""},
      {"Helvetica", ""},  // base names are not faces
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsStandardFace(c.face), *c.base != '\0') << c.face;
    EXPECT_STREQ(StandardFaceBaseName(c.face), c.base) << c.face;
  }
  EXPECT_FALSE(IsStandardFace(nullptr));
  EXPECT_STREQ(StandardFaceBaseName(nullptr), "");
}

}  // namespace
