#include <gtest/gtest.h>

#include "pdf/object.h"

namespace {

using namespace std::string_literals;

// Bytes from hexadecimal pairs, as the examples give them: "28 FE FF".
std::string Hex(std::string_view pairs) {
  std::string out;
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 3)
    out += static_cast<char>(std::stoi(std::string(pairs.substr(i, 2)), nullptr, 16));
  return out;
}

std::string Bytes(const CPDF_Object& object) {
  std::string out;
  SerializeObject(out, object);
  return out;
}

// An object of any tag, to show that kinds the serialiser does not know write nothing.
struct Tagged : CPDF_Object {
  explicit Tagged(std::uint32_t tag) : CPDF_Object(tag) {}
};

struct Probe : CPDF_Object {
  explicit Probe(int& destroyed) : CPDF_Object(kPdfLiteral), destroyed_(destroyed) {}
  ~Probe() override { ++destroyed_; }
  int& destroyed_;
};

TEST(Serializer, DictionariesAreWrittenInKeyOrder) {
  CPDF_Dictionary page;
  page.SetAt("/Type", "/Page");
  page.SetAtReference("/Parent", 1);
  page.SetAt("/MediaBox", "[0 0 612 792]");
  EXPECT_EQ(Bytes(page), "<<\n/MediaBox [0 0 612 792] \n/Parent 1 0 R \n/Type /Page \n>>\n");

  CPDF_Dictionary font;
  font.SetAt("/Type", "/Font");
  font.SetAt("/Subtype", "/TrueType");
  font.SetAt("/BaseFont", "/Arial");
  EXPECT_EQ(Bytes(font), "<<\n/BaseFont /Arial \n/Subtype /TrueType \n/Type /Font \n>>\n");

  // Unsigned bytes, a shorter prefix first.
  CPDF_Dictionary order;
  order.SetAtNumber("/\xE9", 1);
  order.SetAtNumber("/z", 2);
  order.SetAtNumber("/AB", 3);
  order.SetAtNumber("/A", 4);
  EXPECT_EQ(Bytes(order), "<<\n/A 4 \n/AB 3 \n/z 2 \n/\xE9 1 \n>>\n");
}

TEST(Serializer, GoldenBytesOfEachKind) {
  struct Case {
    const char* label;
    std::unique_ptr<CPDF_Object> object;
    std::string bytes;
  };
  auto array = std::make_unique<CPDF_Array>();
  array->Add(std::make_unique<CPDF_Reference>(5));
  array->Add(std::make_unique<CPDF_Literal>("/FitH"));
  array->Add(std::make_unique<CPDF_Number>(700));
  auto nested = std::make_unique<CPDF_Dictionary>();
  auto inner = std::make_unique<CPDF_Dictionary>();
  inner->SetAtReference("/F9", 9);
  nested->SetAtObject("/Font", std::move(inner));
  Case cases[] = {
      {"literal", std::make_unique<CPDF_Literal>("/Page"), "/Page "},
      {"number", std::make_unique<CPDF_Number>(1.5), "1.5 "},
      {"whole number", std::make_unique<CPDF_Number>(612), "612 "},
      {"reference", std::make_unique<CPDF_Reference>(12), "12 0 R "},
      {"empty dictionary", std::make_unique<CPDF_Dictionary>(), "<<\n>>\n"},
      {"empty array", std::make_unique<CPDF_Array>(), "[ ] "},
      {"array", std::move(array), "[ 5 0 R /FitH 700 ] "},
      {"nested dictionary", std::move(nested), "<<\n/Font <<\n/F9 9 0 R \n>>\n\n>>\n"},
      {"empty text", std::make_unique<CPDF_Text>(u""), Hex("28 FE FF 29 20")},
      {"text", std::make_unique<CPDF_Text>(u"A("), Hex("28 FE FF 00 41 00 5C 28 29 20")},
      {"escaped high byte", std::make_unique<CPDF_Text>(u"\u2829"), Hex("28 FE FF 5C 28 5C 29 29 20")},
      {"zero bytes unchanged", std::make_unique<CPDF_Text>(u"\u0100"), Hex("28 FE FF 01 00 29 20")},
      {"line ends and backslash", std::make_unique<CPDF_Text>(u"\r\n\\"),
       "(\xFE\xFF"s + '\0' + "\\015"s + '\0' + "\\012"s + '\0' + "\\\\) "s},
      {"tag 0", std::make_unique<Tagged>(0), ""},
      {"tag 7", std::make_unique<Tagged>(7), ""},
      {"tag 8", std::make_unique<Tagged>(8), ""},
      {"tag 10", std::make_unique<Tagged>(10), ""},
      {"tag of another kind", std::make_unique<Tagged>(kPdfDictionary), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Bytes(*c.object), c.bytes);
  }
}

TEST(Serializer, StreamsCarryTheirTrueLength) {
  CPDF_Stream stream;
  stream.Dictionary().SetAt("/Filter", "/FlateDecode");
  stream.Dictionary().SetAtNumber("/N", 3);
  stream.Dictionary().SetAtNumber("/Length", 999);  // set by hand: replaced
  stream.Data() = std::string("ab\0c", 4);
  EXPECT_EQ(Bytes(stream),
            "<<\n/Filter /FlateDecode \n/Length 4 \n/N 3 \n>>\nstream\nab\0c\nendstream\n"s);

  // /Length takes its key place among keys that sort around it, also when none was set.
  CPDF_Stream other;
  other.Dictionary().SetAtNumber("/L", 1);
  other.Dictionary().SetAtNumber("/Lengthy", 2);
  EXPECT_EQ(Bytes(other), "<<\n/L 1 \n/Length 0 \n/Lengthy 2 \n>>\nstream\n\nendstream\n");
  CPDF_Stream last;
  last.Dictionary().SetAt("/Filter", "/DCTDecode");
  last.Data().assign(1, 'x');
  EXPECT_EQ(Bytes(last), "<<\n/Filter /DCTDecode \n/Length 1 \n>>\nstream\nx\nendstream\n");
}

TEST(Dictionary, ValuesAreOwnedReplacedAndRemoved) {
  int destroyed = 0;
  CPDF_Dictionary dictionary;
  dictionary.SetAtObject("/A", std::make_unique<Probe>(destroyed));
  dictionary.SetAtObject("/B", std::make_unique<Probe>(destroyed));
  dictionary.SetAtText("/A", u"new");  // the old value goes at once
  EXPECT_EQ(destroyed, 1);
  ASSERT_NE(dictionary.Find("/A"), nullptr);
  EXPECT_EQ(dictionary.Find("/A")->Type(), kPdfText);
  dictionary.RemoveAll();
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(dictionary.Find("/A"), nullptr);
  dictionary.SetAtNumber("/C", 2);  // refilled after RemoveAll
  EXPECT_EQ(Bytes(dictionary), "<<\n/C 2 \n>>\n");
  {
    CPDF_Array array;
    array.Add(std::make_unique<Probe>(destroyed));
  }
  EXPECT_EQ(destroyed, 3);
}

}  // namespace
