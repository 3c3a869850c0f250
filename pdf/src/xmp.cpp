// The XMP packet of PDF/A-1b output, with its texts made safe as XML character data.
#include "pdf/xmp.h"

#include <climits>

namespace {

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

std::string Utf8(kq::WStringView text) {
  if (text.empty() || text.size() > INT_MAX / 3) return {};
  const int count = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), count, bytes.data(), size, nullptr, nullptr);
  bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return bytes;
}

}  // namespace

kq::WString XmlCharacters(kq::WStringView text) {
  kq::WString kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      kept += unit;
      kept += text[++i];
      continue;
    }
    if (IsXmlChar(unit)) kept += unit;
  }
  return kept;
}

std::string XmlText(kq::WStringView text) {
  // The text is cleaned in UTF-16, where it is whole code points, and converted in one go.
  kq::WString clean;
  const kq::WString kept = XmlCharacters(text);
  clean.reserve(kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const char16_t unit = kept[i];
    switch (unit) {
      case u'&':
        clean += u"&amp;";
        break;
      case u'<':
        clean += u"&lt;";
        break;
      case u'>':
        clean += u"&gt;";
        break;
      case u'\r':
        clean += u"&#xD;";
        break;
      default:
        clean += unit;
    }
  }
  return Utf8(clean);
}

std::string XmpPacket(const XmpFields& fields) {
  std::string x;
  x += "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
  x += "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n";
  x += "   <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n";
  x += "      <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n";
  x += "         <pdfaid:part>1</pdfaid:part>\n";
  x += "         <pdfaid:conformance>B</pdfaid:conformance>\n";
  x += "      </rdf:Description>\n";
  x += "      <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n";
  x += "         <dc:creator>\n";
  x += "            <rdf:Seq>\n";
  x += "               <rdf:li>" + XmlText(fields.author) + "</rdf:li>\n";
  x += "            </rdf:Seq>\n";
  x += "         </dc:creator>\n";
  x += "         <dc:title>\n";
  x += "            <rdf:Alt>\n";
  x += "               <rdf:li xml:lang=\"x-default\">" + XmlText(fields.title) + "</rdf:li>\n";
  x += "            </rdf:Alt>\n";
  x += "         </dc:title>\n";
  x += "      </rdf:Description>\n";
  x += "      <rdf:Description rdf:about=\"\" xmlns:xap=\"http://ns.adobe.com/xap/1.0/\">\n";
  x += "         <xap:CreatorTool>" + XmlText(fields.creatorTool) + "</xap:CreatorTool>\n";
  x += "         <xap:CreateDate>" + fields.createDate + "</xap:CreateDate>\n";
  x += "      </rdf:Description>\n";
  x += "      <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n";
  x += std::string("         <pdf:Producer>") + kPdfProducer + "</pdf:Producer>\n";
  x += "      </rdf:Description>\n";
  x += "   </rdf:RDF>\n";
  x += "</x:xmpmeta>\n";
  x += "<?xpacket end=\"w\"?>";
  return x;
}
