// Writes the sRGB IEC61966-2.1 profile (ICC version 2.1, display device, RGB to XYZ) that the PDF writer embeds.
// Run it to regenerate data/srgb.icc:  make_srgb_icc pdf/icc/data/srgb.icc
// The output is the same on every run: the header's creation date is fixed.
#include <lcms2.h>

#include <cstdio>
#include <vector>

namespace {

// The header's creation date (bytes 24 to 35: year, month, day, hour, minute, second, each big-endian 16-bit).
constexpr unsigned kCreated[6] = {2025, 1, 1, 0, 0, 0};

bool SetText(cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  const bool ok = mlu && cmsMLUsetASCII(mlu, "en", "US", text) && cmsWriteTag(profile, tag, mlu);
  if (mlu) cmsMLUfree(mlu);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.icc\n", argv[0]);
    return 2;
  }
  cmsHPROFILE profile = cmsCreate_sRGBProfile();
  if (!profile) return 1;
  cmsSetProfileVersion(profile, 2.1);
  bool ok = SetText(profile, cmsSigProfileDescriptionTag, "sRGB IEC61966-2.1") &&
            SetText(profile, cmsSigCopyrightTag, "No copyright, use freely");
  cmsUInt32Number size = 0;
  ok = ok && cmsSaveProfileToMem(profile, nullptr, &size) && size > 128;
  std::vector<unsigned char> bytes(size);
  ok = ok && cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  if (!ok) {
    std::fprintf(stderr, "%s: lcms2 could not build the profile\n", argv[0]);
    return 1;
  }
  for (int i = 0; i < 6; ++i) {
    bytes[24 + 2 * i] = static_cast<unsigned char>(kCreated[i] >> 8);
    bytes[25 + 2 * i] = static_cast<unsigned char>(kCreated[i] & 0xFF);
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::perror(argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
