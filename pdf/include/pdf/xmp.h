// The XMP metadata packet of PDF/A-1b output.
#pragma once

#include <string>

#include "win/base.h"

// The producer text of every file: the information dictionary's /Producer and the XMP pdf:Producer.
inline constexpr const char* kPdfProducer = "Kelvo Quenzar Printer Version 2.0.1.0823";

struct XmpFields {
  kq::WString author;       // dc:creator
  kq::WString title;        // dc:title
  kq::WString creatorTool;  // xap:CreatorTool: the program's path
  std::string createDate;   // xap:CreateDate, an XmpDateString
};

// The text without the characters XML cannot hold (controls other than tab, line feed and carriage return,
// unpaired surrogates, U+FFFE and U+FFFF). PDF/A output gives the information dictionary the same texts as the
// packet, so both are made from this.
kq::WString XmlCharacters(kq::WStringView text);

// Text as XML character data in UTF-8: "&", "<" and ">" escaped, a carriage return as a character reference (so
// that it is read back as it stands), and characters XML cannot hold (controls other than tab, line feed and
// carriage return, unpaired surrogates, U+FFFE and U+FFFF) left out.
std::string XmlText(kq::WStringView text);

// The whole packet, from its opening xpacket instruction to its closing one (no line feed after it).
std::string XmpPacket(const XmpFields& fields);
