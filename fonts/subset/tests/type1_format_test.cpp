#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "type1_format.h"
#include "type1_test_support.h"

namespace {

using namespace std::string_literals;
using t1test::Bytes;
using t1test::ToBytes;

TEST(Type1Format, TokenSearch) {
  struct Case {
    std::string text;
    std::string token;
    std::optional<std::size_t> found;
  };
  const Case cases[] = {
      {"currentfile eexec\n", "eexec", 12},
      {"currentfile eexec", "eexec", 12},             // ending the range needs no delimiter after it
      {"currentfileeexec\n", "eexec", std::nullopt},  // no delimiter before
      {"currentfile eexecx\n", "eexec", std::nullopt},
      {"% currentfile eexec\ncurrentfile eexec\n", "eexec", 32},  // the commented one is skipped
      {"(100%) eexec\r eexec", "eexec", 14},                      // "%" counts up to the line end (CR too)
      {"x/RD{", "/RD", 1},                                        // "/" needs nothing before it
      {"/RDX /RD ", "/RD", 5},
      {"/Encoding StandardEncoding def", "def", 27},
      {"/undef def", "def", 7},
      {"/Encoding 256 array readonly def", "/Encoding", 0},
      {"/EncodingScheme 1 def /Encoding 2 def", "/Encoding", 22},
      {"", "def", std::nullopt},
      {"de", "def", std::nullopt},
  };
  for (const Case& c : cases) {
    const Bytes b = ToBytes(c.text);
    EXPECT_EQ(t1::FindToken(b.data(), 0, b.size(), c.token), c.found) << c.text << " / " << c.token;
  }
  // The range start counts as a line start and as a delimiter.
  const Bytes b = ToBytes("% x\ndef def");
  EXPECT_EQ(t1::FindToken(b.data(), 4, b.size(), "def"), 4u);
  EXPECT_EQ(t1::FindToken(b.data(), 5, b.size(), "def"), 8u);
}

TEST(Type1Format, Decimal) {
  const Bytes b = ToBytes(" \r\n 855 dict 2147483648 x 2147483647");
  auto d = t1::ReadDecimal(b.data(), 0, b.size());
  ASSERT_TRUE(d);
  EXPECT_EQ(d->value, 855u);
  EXPECT_EQ(d->end, 7u);
  EXPECT_FALSE(t1::ReadDecimal(b.data(), 7, b.size()));   // "dict"
  EXPECT_FALSE(t1::ReadDecimal(b.data(), 12, b.size()));  // beyond 2^31 - 1
  d = t1::ReadDecimal(b.data(), 25, b.size());
  ASSERT_TRUE(d);
  EXPECT_EQ(d->value, 2147483647u);
}

TEST(Type1Format, CipherMatchesTheFormat) {
  // Encrypting and decrypting are inverse, for both keys.
  const Bytes plain = ToBytes("\x01\x02\x03\x04dup /Private 8 dict dup begin");
  for (std::uint16_t key : {t1::kEexecKey, t1::kCharstringKey}) {
    t1::Cipher enc{key}, dec{key};
    for (std::size_t i = 0; i < plain.size(); ++i) {
      const std::uint8_t c = enc.Encrypt(plain[i]);
      EXPECT_EQ(c, t1test::Encrypt(plain, key)[i]);
      EXPECT_EQ(dec.Decrypt(c), plain[i]);
    }
  }
}

TEST(Type1Format, HexDecryptionSkipsWhiteSpaceAndStopsAtOtherBytes) {
  const Bytes plain = ToBytes("abcdefgh");
  const Bytes cipher = t1test::Encrypt(plain, t1::kEexecKey);
  std::string hex;
  for (std::size_t i = 0; i < cipher.size(); ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, i % 2 ? "%02x" : "%02X", cipher[i]);
    hex += pair;
    if (i == 2) hex += "\r\n\t \f\v";
  }
  struct Case {
    std::string input;
    std::string plain;
  };
  const Case cases[] = {
      {hex, "abcdefgh"},
      {" \n" + hex, "abcdefgh"},
      {hex.substr(0, 6) + "}" + hex.substr(6), "abc"},    // stops at the first foreign byte
      {hex.substr(0, 6) + "\0"s + hex.substr(6), "abc"},  // NUL is not white space here
      {hex.substr(0, 5), "ab"},                            // a lone digit is dropped
  };
  for (const Case& c : cases) {
    Bytes out(c.input.size());
    t1::Cipher cipherState{t1::kEexecKey};
    const std::size_t n =
        t1::Decrypt(reinterpret_cast<const std::uint8_t*>(c.input.data()), c.input.size(), true, cipherState, out.data());
    EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(n)), c.plain);
  }
}

// StandardEncoding agrees with the codes of a font that is encoded by it, as its metrics file lists them.
TEST(Type1Format, StandardEncodingMatchesTheMetricsFile) {
  std::ifstream afm("/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.afm");
  ASSERT_TRUE(afm) << "fonts-urw-base35 is not installed";
  std::map<int, std::string> codes;
  std::string line;
  while (std::getline(afm, line)) {
    int code = -1;
    char name[64];
    const auto n = line.find(" N ");
    if (std::sscanf(line.c_str(), "C %d ;", &code) == 1 && code >= 0 && n != std::string::npos &&
        std::sscanf(line.c_str() + n, " N %63s", name) == 1) {
      codes[code] = name;
    }
  }
  ASSERT_EQ(codes.size(), 149u);
  for (const auto& [code, name] : codes) EXPECT_EQ(t1::StandardEncodingCode(name), code) << name;
  for (const char* name : {"Aacute", ".notdef", "Euro", "", "a1", "spacex"}) {
    EXPECT_EQ(t1::StandardEncodingCode(name), -1) << name;
  }
}

}  // namespace
