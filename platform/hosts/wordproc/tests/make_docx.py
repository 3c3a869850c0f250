#!/usr/bin/python3
"""Writes the .docx fixtures of the word processor's and the add-in's tests with python-docx (another program's
writer), adding the parts python-docx has no call for (bookmarks, hyperlinks, a floating shape) as raw XML.

usage: make_docx.py KIND OUT.docx   with KIND one of: report, plain, levels, wrap, lists, fields, shapes, protected,
       revised, spans
"""
import sys

import docx
from docx.enum.text import WD_BREAK
from docx.opc.constants import RELATIONSHIP_TYPE as RT
from docx.oxml import OxmlElement, parse_xml
from docx.oxml.ns import nsdecls, qn
from docx.shared import Pt

_next_id = [1]


def bookmark_marks(name):
    """The start and end elements of a new bookmark."""
    ident = str(_next_id[0])
    _next_id[0] += 1
    start = OxmlElement("w:bookmarkStart")
    start.set(qn("w:id"), ident)
    start.set(qn("w:name"), name)
    end = OxmlElement("w:bookmarkEnd")
    end.set(qn("w:id"), ident)
    return start, end


def bookmark(paragraph, name):
    """Wraps the paragraph's runs in a bookmark."""
    start, end = bookmark_marks(name)
    p = paragraph._p
    first = p.find(qn("w:r"))
    if first is None:
        p.append(start)
    else:
        first.addprevious(start)
    p.append(end)


def bookmark_across(first, last, name):
    """A bookmark from the start of one paragraph to the end of a later one."""
    start, end = bookmark_marks(name)
    p = first._p
    ppr = p.find(qn("w:pPr"))
    if ppr is None:
        p.insert(0, start)
    else:
        ppr.addnext(start)
    last._p.append(end)


def hyperlink(paragraph, text, url=None, anchor=None):
    link = OxmlElement("w:hyperlink")
    if url is not None:
        rel = paragraph.part.relate_to(url, RT.HYPERLINK, is_external=True)
        link.set(qn("r:id"), rel)
    if anchor is not None:
        link.set(qn("w:anchor"), anchor)
    run = OxmlElement("w:r")
    props = OxmlElement("w:rPr")
    color = OxmlElement("w:color")
    color.set(qn("w:val"), "0563C1")
    props.append(color)
    run.append(props)
    t = OxmlElement("w:t")
    t.set(qn("xml:space"), "preserve")
    t.text = text
    run.append(t)
    link.append(run)
    paragraph._p.append(link)


def shape(paragraph, url, left, top, width, height, rotation, rel_h, rel_v, ident):
    """A floating rectangle that carries a hyperlink; positions in points."""
    rel = paragraph.part.relate_to(url, RT.HYPERLINK, is_external=True)
    emu = lambda pt: str(int(pt * 12700))
    xml = (
        '<w:r %s><w:drawing><wp:anchor distT="0" distB="0" distL="0" distR="0" simplePos="0" relativeHeight="1" '
        'behindDoc="0" locked="0" layoutInCell="1" allowOverlap="1">'
        '<wp:simplePos x="0" y="0"/>'
        '<wp:positionH relativeFrom="%s"><wp:posOffset>%s</wp:posOffset></wp:positionH>'
        '<wp:positionV relativeFrom="%s"><wp:posOffset>%s</wp:posOffset></wp:positionV>'
        '<wp:extent cx="%s" cy="%s"/><wp:wrapNone/>'
        '<wp:docPr id="%d" name="Shape %d"><a:hlinkClick r:id="%s"/></wp:docPr>'
        '<a:graphic><a:graphicData uri="http://schemas.microsoft.com/office/word/2010/wordprocessingShape">'
        '<wps:wsp><wps:spPr><a:xfrm rot="%d"><a:off x="0" y="0"/><a:ext cx="%s" cy="%s"/></a:xfrm>'
        '<a:prstGeom prst="rect"/></wps:spPr><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic>'
        "</wp:anchor></w:drawing></w:r>"
        % (
            nsdecls("w", "wp", "a", "r")
            + ' xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape"',
            rel_h, emu(left), rel_v, emu(top), emu(width), emu(height), ident, ident, rel,
            int(rotation * 60000), emu(width), emu(height),
        )
    )
    paragraph._p.append(parse_xml(xml))


def field_links(paragraph):
    """A hyperlink as a complex field (begin, instruction, separate, result, end) and one as a simple field."""
    w = nsdecls("w")
    paragraph._p.append(parse_xml('<w:r %s><w:fldChar w:fldCharType="begin"/></w:r>' % w))
    paragraph._p.append(parse_xml(
        '<w:r %s><w:instrText xml:space="preserve"> HYPERLINK "https://example.org/field" \\o "a tip" </w:instrText></w:r>' % w))
    paragraph._p.append(parse_xml('<w:r %s><w:fldChar w:fldCharType="separate"/></w:r>' % w))
    paragraph._p.append(parse_xml('<w:r %s><w:t>field link</w:t></w:r>' % w))
    paragraph._p.append(parse_xml('<w:r %s><w:fldChar w:fldCharType="end"/></w:r>' % w))
    paragraph._p.append(parse_xml('<w:r %s><w:t xml:space="preserve"> and </w:t></w:r>' % w))
    paragraph._p.append(parse_xml(
        '<w:fldSimple %s w:instr=" HYPERLINK \\l &quot;opening&quot; "><w:r><w:t>back</w:t></w:r></w:fldSimple>' % w))


def page_break(document):
    document.add_paragraph().add_run().add_break(WD_BREAK.PAGE)


def main(kind, out):
    d = docx.Document()
    if kind == "protected":
        d.add_heading("Locked", level=1)
        d.add_paragraph("A document only to be read.")
        d.settings.element.append(parse_xml('<w:documentProtection %s w:edit="readOnly" w:enforcement="1"/>'
                                            % nsdecls("w")))
    elif kind == "revised":
        d.add_heading("Changed", level=1)
        p = d.add_paragraph("Text with ")
        p._p.append(parse_xml('<w:ins %s w:id="1" w:author="a" w:date="2024-01-01T00:00:00Z"><w:r><w:t>inserted'
                              '</w:t></w:r></w:ins>' % nsdecls("w")))
    elif kind == "report":
        d.add_heading("Introduction", level=1)
        intro = d.add_paragraph("The opening words of the report. ")
        bookmark(intro, "opening")
        hyperlink(intro, "the project site", url="https://example.org/site")
        page_break(d)
        d.add_heading("Methods", level=2)
        p = d.add_paragraph("See ")
        hyperlink(p, "the results", anchor="results")
        p.add_run(" and the ")
        hyperlink(p, "local file", url="file:///C:/docs/a(b).pdf")
        page_break(d)
        results = d.add_heading("Results", level=1)
        bookmark(results, "results")
        d.add_paragraph("Numbers and more numbers.")
    elif kind == "plain":
        d.add_paragraph("Only body text here.")
        d.add_paragraph("A second paragraph.")
    elif kind == "levels":
        d.add_heading("One", level=1)
        d.add_paragraph("text")
        d.add_heading("Three", level=3)
        d.add_paragraph("text")
        d.add_heading("Two", level=2)
        d.add_paragraph("text")
    elif kind == "wrap":
        p = d.add_paragraph("Words before the link fill most of the first line of this paragraph, so that ")
        hyperlink(p, "this rather long hyperlink text wraps onto the next line", url="https://example.org/wrap")
        p.add_run(" and the paragraph ends.")
    elif kind == "fields":
        bookmark(d.add_paragraph("Opening words."), "opening")
        field_links(d.add_paragraph("Links as fields: "))
    elif kind == "lists":
        for text in ("first", "second", "third"):
            d.add_paragraph(text, style="List Number")
        d.add_paragraph("a point", style="List Bullet")
    elif kind == "shapes":
        p = d.add_paragraph("A paragraph that holds the shapes.")
        shape(p, "https://example.org/margin", 10, 20, 100, 50, 0, "margin", "margin", 1)
        shape(p, "https://example.org/page", 30, 40, 100, 50, 90, "page", "page", 2)
    elif kind == "spans":
        # A bookmark round a chapter that runs over a page, a link longer than a page, Japanese bookmarks of one
        # length, and addresses with a place inside, with other characters and of more than 255 bytes.
        heading = d.add_heading("Chapter", level=1)
        for i in range(70):
            d.add_paragraph("Line %d of the chapter." % (i + 1))
        bookmark_across(heading, d.paragraphs[-1], "chapter")
        p = d.add_paragraph("The long link: ")
        hyperlink(p, " ".join(["far"] * 1500), url="https://example.org/far")
        for name, title in (("\u898b\u51fa\u3057\u4e00", "\u6982\u8981"), ("\u898b\u51fa\u3057\u4e8c", "\u8a73\u7d30")):
            bookmark(d.add_heading(title, level=1), name)
            p = d.add_paragraph("To ")
            hyperlink(p, name, anchor=name)
        p = d.add_paragraph("Addresses: ")
        hyperlink(p, "manual", url="https://example.org/manual.html", anchor="part-2")
        hyperlink(p, " long", url="https://example.org/" + "a" * 300)
        hyperlink(p, " caf\u00e9", url="https://example.org/caf\u00e9/\u65e5\u672c")
    else:
        raise SystemExit("unknown kind " + kind)
    for style in ("Normal",):
        d.styles[style].font.size = Pt(11)
    d.save(out)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
