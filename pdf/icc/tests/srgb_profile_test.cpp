#include <gtest/gtest.h>
#include <lcms2.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "srgb_profile.h"

namespace {

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
         (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

std::string Signature(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

TEST(SrgbProfile, HeaderDescribesAVersionTwoDisplayProfile) {
  const auto profile = kq::SrgbIccProfile();
  ASSERT_GE(profile.size(), 132u);
  EXPECT_EQ(BigEndian32(profile, 0), profile.size());  // the size field
  EXPECT_EQ(profile[8], 2);                            // version 2.1.0
  EXPECT_EQ(profile[9], 0x10);
  EXPECT_EQ(Signature(profile, 12), "mntr");
  EXPECT_EQ(Signature(profile, 16), "RGB ");
  EXPECT_EQ(Signature(profile, 20), "XYZ ");
  EXPECT_EQ(Signature(profile, 36), "acsp");
  // The D50 illuminant of the connection space, as s15Fixed16 numbers.
  EXPECT_EQ(BigEndian32(profile, 68), 0x0000F6D6u);
  EXPECT_EQ(BigEndian32(profile, 72), 0x00010000u);
  EXPECT_EQ(BigEndian32(profile, 76), 0x0000D32Du);
}

TEST(SrgbProfile, ColourEngineReadsItAsSrgb) {
  const auto profile = kq::SrgbIccProfile();
  cmsHPROFILE rgb = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  ASSERT_NE(rgb, nullptr);
  EXPECT_TRUE(cmsIsMatrixShaper(rgb));
  char description[64] = {};
  cmsGetProfileInfoASCII(rgb, cmsInfoDescription, "en", "US", description, sizeof description);
  EXPECT_STREQ(description, "sRGB IEC61966-2.1");

  // Colours come out where the reference profile puts them.
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHTRANSFORM transform = cmsCreateTransform(rgb, TYPE_RGB_8, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
  ASSERT_NE(transform, nullptr);
  const struct {
    std::uint8_t rgb[3];
    double l, a, b;
  } cases[] = {
      {{255, 255, 255}, 100.0, 0.0, 0.0},
      {{0, 0, 0}, 0.0, 0.0, 0.0},
      {{255, 0, 0}, 54.29, 80.80, 69.89},
      {{128, 128, 128}, 53.59, 0.0, 0.0},
  };
  for (const auto& c : cases) {
    cmsCIELab out{};
    cmsDoTransform(transform, c.rgb, &out, 1);
    EXPECT_NEAR(out.L, c.l, 0.5);
    EXPECT_NEAR(out.a, c.a, 0.5);
    EXPECT_NEAR(out.b, c.b, 0.5);
  }
  cmsDeleteTransform(transform);
  cmsCloseProfile(lab);
  cmsCloseProfile(rgb);
}

TEST(SrgbProfile, GeneratorMakesTheCommittedBytes) {
  const auto out = std::filesystem::temp_directory_path() / ("srgb-" + std::to_string(getpid()) + ".icc");
  const std::string command = std::string("'") + KQ_MAKE_SRGB_ICC + "' '" + out.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(out, std::ios::binary);
  const std::vector<std::uint8_t> made{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(out);
  const auto embedded = kq::SrgbIccProfile();
  EXPECT_TRUE(std::equal(made.begin(), made.end(), embedded.begin(), embedded.end()))
      << "data/srgb.icc is not what make_srgb_icc makes; regenerate it";
}

}  // namespace
