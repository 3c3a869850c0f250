#include <expat.h>

#include "document_fixture.h"
#include "pdf/dates.h"
#include "pdf/xmp.h"

namespace doctest {
namespace {

TEST(XmlText, EscapesWhatXmlReservesAndLeavesOutWhatItCannotHold) {
  struct Case {
    kq::WString text;
    std::string xml;
  } const cases[] = {
      {u"Report", "Report"},
      {u"A&B <c> d", "A&amp;B &lt;c&gt; d"},
      {u"tab\tline\nend", "tab\tline\nend"},
      {u"cr\rhere", "cr&#xD;here"},
      {u"a\x01" "b\x1F" "c\x7F", "abc\x7F"},  // DEL is an XML character
      {kq::WString(1, u'\0') + u"x", "x"},
      {u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},                      // a pair stays whole
      {kq::WString{u'a', char16_t(0xD83D), u'b'}, "ab"},         // a lone high surrogate goes
      {kq::WString{u'a', char16_t(0xDE00)}, "a"},                // and a lone low one
      {kq::WString{char16_t(0xFFFE), char16_t(0xFFFF), u'z'}, "z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    EXPECT_EQ(XmlText(c.text), c.xml);
  }
  // No length limit: a long path comes through whole.
  const kq::WString longPath(2000, u'\u00E9');
  EXPECT_EQ(XmlText(longPath).size(), 4000u);
}

TEST(XmpPacket, IsTheseLines) {
  const std::string packet = XmpPacket({u"ann", u"Q3 & more", u"C:\\Program Files\\Writer\\writer.exe",
                                        "2024-03-05T19:37:09+05:30"});
  EXPECT_EQ(packet,
            "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
            "   <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
            "      <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
            "         <pdfaid:part>1</pdfaid:part>\n"
            "         <pdfaid:conformance>B</pdfaid:conformance>\n"
            "      </rdf:Description>\n"
            "      <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
            "         <dc:creator>\n"
            "            <rdf:Seq>\n"
            "               <rdf:li>ann</rdf:li>\n"
            "            </rdf:Seq>\n"
            "         </dc:creator>\n"
            "         <dc:title>\n"
            "            <rdf:Alt>\n"
            "               <rdf:li xml:lang=\"x-default\">Q3 &amp; more</rdf:li>\n"
            "            </rdf:Alt>\n"
            "         </dc:title>\n"
            "      </rdf:Description>\n"
            "      <rdf:Description rdf:about=\"\" xmlns:xap=\"http://ns.adobe.com/xap/1.0/\">\n"
            "         <xap:CreatorTool>C:\\Program Files\\Writer\\writer.exe</xap:CreatorTool>\n"
            "         <xap:CreateDate>2024-03-05T19:37:09+05:30</xap:CreateDate>\n"
            "      </rdf:Description>\n"
            "      <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
            "         <pdf:Producer>Kelvo Quenzar Printer Version 2.0.1.0823</pdf:Producer>\n"
            "      </rdf:Description>\n"
            "   </rdf:RDF>\n"
            "</x:xmpmeta>\n"
            "<?xpacket end=\"w\"?>");
}

// What a namespace-aware XML parser reads from a packet: each leaf element's text under its namespace and local
// name, and the processing instructions.
struct ParsedXml {
  bool wellFormed = false;
  std::string error;
  std::map<std::string, std::string> leaves;  // "namespace local" -> text
  std::vector<std::string> instructions;
  std::string lang;                           // xml:lang of the title's item
};

struct ParseState {
  ParsedXml* out;
  std::vector<std::string> open;
  std::string text;
};

ParsedXml ParseXml(const std::string& xml) {
  ParsedXml parsed;
  ParseState state{&parsed, {}, {}};
  XML_Parser parser = XML_ParserCreateNS("UTF-8", ' ');
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* s = static_cast<ParseState*>(data);
        s->open.push_back(name);
        s->text.clear();
        for (int i = 0; attributes[i]; i += 2)
          if (std::string(attributes[i]) == "http://www.w3.org/XML/1998/namespace lang") s->out->lang = attributes[i + 1];
      },
      [](void* data, const XML_Char* name) {
        auto* s = static_cast<ParseState*>(data);
        const std::string element = name;
        // A leaf's text is kept under its parent's name too, for the list items.
        const std::string parent = s->open.size() >= 2 ? s->open[s->open.size() - 2] : "";
        if (!s->text.empty()) s->out->leaves[parent + " > " + element] = s->text;
        s->text.clear();
        s->open.pop_back();
      });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    static_cast<ParseState*>(data)->text.append(text, static_cast<std::size_t>(length));
  });
  XML_SetProcessingInstructionHandler(parser, [](void* data, const XML_Char* target, const XML_Char* body) {
    static_cast<ParseState*>(data)->out->instructions.push_back(std::string(target) + " " + body);
  });
  parsed.wellFormed = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
  if (!parsed.wellFormed) parsed.error = XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  return parsed;
}

constexpr const char* kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

using Metadata = DocumentTest;

TEST_F(Metadata, ThePacketIsWellFormedXmlAndAgreesWithTheInformationDictionary) {
  machine_->Service<kq::MachineClock>().SetTimeZone("America/St_Johns");
  machine_->Service<kq::MachineUser>().SetUserName(u"Ann & <Bob>");
  writer_.pdfA1b = 1;
  const kq::WString title = u"Profit & <Loss>\x01 Q3\r\n\u00E9t\u00E9";
  ASSERT_TRUE(writer_.StartDocument(title.c_str()));
  writer_.EndDocument();

  const std::string file = File();
  const auto tail = ReadTail(file);
  ASSERT_TRUE(tail);
  const std::string catalog = ObjectAt(file, tail->offsets[tail->offsets.size() - 2]);
  const std::string info = ObjectAt(file, tail->offsets.back());
  const std::string metadataRef = Value(catalog, "/Metadata");
  ASSERT_FALSE(metadataRef.empty());
  const std::string metadata = ObjectAt(file, tail->offsets[std::stoul(metadataRef)]);
  EXPECT_EQ(Value(metadata, "/Type"), "/Metadata");
  EXPECT_EQ(Value(metadata, "/Subtype"), "/XML");
  const std::string packet = StreamData(metadata);
  EXPECT_EQ(packet.substr(packet.size() - 19), "<?xpacket end=\"w\"?>");

  const ParsedXml xml = ParseXml(packet);
  ASSERT_TRUE(xml.wellFormed) << xml.error << "\n" << packet;
  EXPECT_EQ(xml.instructions, (std::vector<std::string>{"xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"",
                                                        "xpacket end=\"w\""}));
  const auto leaf = [&](const std::string& parent, const std::string& element) {
    const auto it = xml.leaves.find(parent + " > " + element);
    return it == xml.leaves.end() ? std::string("(missing)") : it->second;
  };
  const std::string seq = std::string(kRdf) + " Seq";
  const std::string alt = std::string(kRdf) + " Alt";
  const std::string li = std::string(kRdf) + " li";

  // The information dictionary and the packet agree: both leave out what XML cannot hold.
  EXPECT_EQ(TextString(Value(info, "/Title")), kq::WString(u"Profit & <Loss> Q3\r\n\u00E9t\u00E9"))
      << "from " << kq::Utf8FromWide(title);
  EXPECT_EQ(kq::WideFromUtf8(leaf(alt, li)), kq::WString(u"Profit & <Loss> Q3\r\n\u00E9t\u00E9"));
  EXPECT_EQ(xml.lang, "x-default");
  EXPECT_EQ(TextString(Value(info, "/Author")), u"Ann & <Bob>");
  EXPECT_EQ(leaf(seq, li), "Ann & <Bob>");
  EXPECT_EQ(TextString(Value(info, "/Creator")), ProgramPath());
  const std::string description = std::string(kRdf) + " Description";
  EXPECT_EQ(kq::WideFromUtf8(leaf(description, "http://ns.adobe.com/xap/1.0/ CreatorTool")), ProgramPath());
  EXPECT_EQ(Value(info, "/Producer"), "(Kelvo Quenzar Printer Version 2.0.1.0823)");
  EXPECT_EQ(leaf(description, "http://ns.adobe.com/pdf/1.3/ Producer"), "Kelvo Quenzar Printer Version 2.0.1.0823");
  EXPECT_EQ(leaf(description, "http://www.aiim.org/pdfa/ns/id/ part"), "1");
  EXPECT_EQ(leaf(description, "http://www.aiim.org/pdfa/ns/id/ conformance"), "B");
  // 14:07:09 UTC is 10:37:09 at St. John's in March (before its daylight time).
  EXPECT_EQ(Value(info, "/CreationDate"), "(D:20240305103709-03'30')");
  EXPECT_EQ(leaf(description, "http://ns.adobe.com/xap/1.0/ CreateDate"), "2024-03-05T10:37:09-03:30");
}

}  // namespace
}  // namespace doctest
