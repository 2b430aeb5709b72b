#!/usr/bin/python3
"""The strict check on a sound package broken one way per rule: each broken package has
findings of that rule and no other, the sound one none. Then Markup Compatibility processing
case by case, a filled package held to its template, and a missing schema folder."""
import base64
import io
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

from lxml import etree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from strict_check import Checker, Schemas, compatibility, introduced  # noqa: E402

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
MC = "http://schemas.openxmlformats.org/markup-compatibility/2006"
X14AC = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac"
SML = "application/vnd.openxmlformats-officedocument.spreadsheetml."
PNG = base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4nGP4z8DwHwAFAAH/iZk9HQAAAABJRU5ErkJggg==")
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def rels(*entries):
    return HEAD + '<Relationships xmlns="%s">%s</Relationships>' % (PKG, "".join(
        '<Relationship Id="%s" Type="%s/%s" Target="%s"/>' % e for e in entries))


def anchor(shape_id, start, end):
    corner = lambda name, c: ("<xdr:%s><xdr:col>%d</xdr:col><xdr:colOff>0</xdr:colOff>"
                              "<xdr:row>%d</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:%s>"
                              % (name, c[0], c[1], name))
    return ('<xdr:twoCellAnchor editAs="oneCell">%s%s<xdr:pic><xdr:nvPicPr><xdr:cNvPr id="%d" '
            'name="Picture %d"/><xdr:cNvPicPr/></xdr:nvPicPr><xdr:blipFill><a:blip r:embed="rId1"/>'
            '<a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:prstGeom prst="rect">'
            '<a:avLst/></a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>'
            % (corner("from", start), corner("to", end), shape_id, shape_id))


def sound():
    """A package with one of everything the rules look at: a table with its header, shared and
    inline strings, numbers, a boolean and an error, a shared formula and the calculation chain,
    a merged range, a conditional format, custom formats, a picture in a drawing, a row with an
    ignorable attribute."""
    sheet = (
        HEAD + '<worksheet xmlns="%s" xmlns:r="%s" xmlns:mc="%s" xmlns:x14ac="%s" '
        'mc:Ignorable="x14ac"><dimension ref="A1:D6"/><sheetData>'
        '<row r="1" x14ac:dyDescent="0.25"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>'
        '<row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>1.5</v></c></row>'
        '<row r="3"><c r="A3" t="inlineStr"><is><t>b</t></is></c><c r="B3" s="1"><v>2</v></c></row>'
        '<row r="4"><c r="C4"><f>SUM(T[Value])</f><v>3.5</v></c>'
        '<c r="D4"><f t="shared" ref="D4:D5" si="0">C4*2</f><v>7</v></c></row>'
        '<row r="5"><c r="D5"><f t="shared" si="0"/><v>7</v></c></row>'
        '<row r="6"><c r="A6" t="b"><v>1</v></c><c r="B6" t="e"><v>#N/A</v></c></row>'
        '</sheetData><mergeCells count="1"><mergeCell ref="C6:D6"/></mergeCells>'
        '<conditionalFormatting sqref="B2:B3"><cfRule type="cellIs" dxfId="0" priority="1" '
        'operator="greaterThan"><formula>1</formula></cfRule></conditionalFormatting>'
        '<drawing r:id="rId1"/><tableParts count="1"><tablePart r:id="rId2"/></tableParts>'
        '</worksheet>' % (MAIN, REL, MC, X14AC))
    styles = (
        HEAD + '<styleSheet xmlns="%s"><numFmts count="1"><numFmt numFmtId="164" formatCode="0.0"/>'
        '</numFmts><fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>'
        '<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill '
        'patternType="gray125"/></fill></fills><borders count="1"><border><left/><right/><top/>'
        '<bottom/><diagonal/></border></borders><cellStyleXfs count="1"><xf numFmtId="0" '
        'fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs count="2"><xf numFmtId="0" '
        'fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="164" fontId="0" fillId="0" '
        'borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs><cellStyles count="1"><cellStyle '
        'name="Normal" xfId="0" builtinId="0"/></cellStyles><dxfs count="1"><dxf><font><b/></font>'
        '</dxf></dxfs></styleSheet>' % MAIN)
    drawing = (HEAD + '<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/'
               'spreadsheetDrawing" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
               'xmlns:r="%s">%s%s</xdr:wsDr>' % (REL, anchor(2, (4, 1), (6, 4)),
                                                 anchor(3, (4, 6), (5, 8))))
    types = (
        HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
        'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>'
        '<Default Extension="png" ContentType="image/png"/>' + "".join(
            '<Override PartName="/xl/%s" ContentType="%s"/>' % p for p in (
                ("workbook.xml", SML + "sheet.main+xml"),
                ("worksheets/sheet1.xml", SML + "worksheet+xml"),
                ("worksheets/sheet2.xml", SML + "worksheet+xml"),
                ("styles.xml", SML + "styles+xml"), ("sharedStrings.xml", SML + "sharedStrings+xml"),
                ("calcChain.xml", SML + "calcChain+xml"), ("tables/table1.xml", SML + "table+xml"),
                ("drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml")))
        + "</Types>")
    return {
        "[Content_Types].xml": types,
        "_rels/.rels": rels(("rId1", REL, "officeDocument", "xl/workbook.xml")),
        "xl/workbook.xml": HEAD + '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="One" '
                           'sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/>'
                           '</sheets><definedNames><definedName name="Area" localSheetId="0">'
                           "One!$A$1:$C$4</definedName></definedNames></workbook>" % (MAIN, REL),
        "xl/_rels/workbook.xml.rels": rels(
            ("rId1", REL, "worksheet", "worksheets/sheet1.xml"),
            ("rId2", REL, "worksheet", "worksheets/sheet2.xml"), ("rId3", REL, "styles", "styles.xml"),
            ("rId4", REL, "sharedStrings", "sharedStrings.xml"),
            ("rId5", REL, "calcChain", "calcChain.xml")),
        "xl/worksheets/sheet1.xml": sheet,
        "xl/worksheets/_rels/sheet1.xml.rels": rels(
            ("rId1", REL, "drawing", "../drawings/drawing1.xml"),
            ("rId2", REL, "table", "../tables/table1.xml")),
        "xl/worksheets/sheet2.xml": HEAD + '<worksheet xmlns="%s"><dimension ref="A1"/><sheetData/>'
                                    "</worksheet>" % MAIN,
        "xl/styles.xml": styles,
        "xl/sharedStrings.xml": HEAD + '<sst xmlns="%s" count="3" uniqueCount="3"><si><t>Key</t></si>'
                                '<si><t>Value</t></si><si><t xml:space="preserve">a </t></si></sst>'
                                % MAIN,
        "xl/calcChain.xml": HEAD + '<calcChain xmlns="%s"><c r="C4" i="1"/><c r="D4"/><c r="D5"/>'
                            "</calcChain>" % MAIN,
        "xl/tables/table1.xml": HEAD + '<table xmlns="%s" id="1" name="T" displayName="T" '
                                'ref="A1:B3"><autoFilter ref="A1:B3"/><tableColumns count="2">'
                                '<tableColumn id="1" name="Key"/><tableColumn id="2" name="Value"/>'
                                '</tableColumns><tableStyleInfo name="TableStyleMedium2" '
                                'showRowStripes="1"/></table>' % MAIN,
        "xl/drawings/drawing1.xml": drawing,
        "xl/drawings/_rels/drawing1.xml.rels": rels(("rId1", REL, "image", "../media/image1.png")),
        "xl/media/image1.png": PNG,
    }


def edit(part, old, new):
    def change(parts):
        assert old in parts[part], (part, old)
        parts[part] = parts[part].replace(old, new, 1)
    return change


def both(first, second):
    return lambda parts: (first(parts), second(parts))


S1, TYPES, TABLE = "xl/worksheets/sheet1.xml", "[Content_Types].xml", "xl/tables/table1.xml"
# (the rule that must be told, how the sound package is broken)
BROKEN = [
    ("well-formed", edit("xl/worksheets/sheet2.xml", "</worksheet>", "</worksheet")),
    ("schema", edit("xl/worksheets/sheet2.xml", "<sheetData/>", "<sheetData/><bogus/>")),
    ("schema", edit("xl/styles.xml", 'patternType="none"', 'patternType="dotted"')),
    ("compatibility", edit(S1, ' mc:Ignorable="x14ac"', "")),
    ("compatibility", edit(S1, 'mc:Ignorable="x14ac"', 'mc:Ignorable="x14ac" mc:MustUnderstand="x14ac"')),
    ("content type", edit(TYPES, '<Override PartName="/xl/tables/table1.xml" ', '<Override PartName="/xl/tables/other.xml" ')),
    ("content type", edit(TYPES, '<Default Extension="png" ContentType="image/png"/>', "")),
    ("content type", edit(TYPES, SML + "styles+xml", SML + "worksheet+xml")),
    ("relationship target", edit("xl/worksheets/_rels/sheet1.xml.rels", "drawing1.xml", "drawing9.xml")),
    ("relationship id", edit("xl/drawings/drawing1.xml", 'r:embed="rId1"', 'r:embed="rId7"')),
    ("count attribute", edit("xl/styles.xml", '<fonts count="1">', '<fonts count="2">')),
    ("count attribute", edit("xl/sharedStrings.xml", 'uniqueCount="3"', 'uniqueCount="4"')),
    ("style index", edit(S1, '<c r="B3" s="1">', '<c r="B3" s="5">')),
    ("xf reference", edit("xl/styles.xml", '<xf numFmtId="164" fontId="0"', '<xf numFmtId="164" fontId="3"')),
    ("xf reference", edit("xl/styles.xml", '<numFmt numFmtId="164"', '<numFmt numFmtId="165"')),
    ("xf reference", edit(S1, 'dxfId="0"', 'dxfId="1"')),
    ("shared string index", edit(S1, '<c r="A2" t="s"><v>2</v>', '<c r="A2" t="s"><v>3</v>')),
    ("merged range", edit(S1, '<mergeCells count="1"><mergeCell ref="C6:D6"/>',
                          '<mergeCells count="2"><mergeCell ref="C6:D6"/><mergeCell ref="D6:E7"/>')),
    ("merged range", edit(S1, '<mergeCell ref="C6:D6"/>', '<mergeCell ref="C6:C6"/>')),
    ("row and cell order", edit(S1, '<c r="A2" t="s"><v>2</v></c><c r="B2"><v>1.5</v></c>',
                                '<c r="B2"><v>1.5</v></c><c r="A2" t="s"><v>2</v></c>')),
    ("row and cell order", edit(S1, '<row r="6"><c r="A6" t="b"><v>1</v></c><c r="B6" t="e">',
                                '<row r="5"><c r="A5" t="b"><v>1</v></c><c r="B5" t="e">')),
    ("cell value", edit(S1, '<c r="B2"><v>1.5</v>', '<c r="B2"><v>1,5</v>')),
    ("cell value", edit(S1, '<c r="A6" t="b"><v>1</v>', '<c r="A6" t="b"><v>2</v>')),
    ("cell value", edit(S1, "<v>#N/A</v>", "<v>#WHAT</v>")),
    ("shared formula", edit(S1, '<c r="D5"><f t="shared" si="0"/>', '<c r="D5"><f t="shared" si="1"/>')),
    ("shared formula", edit(S1, 'ref="D4:D5" si="0"', 'ref="D4:D4" si="0"')),
    ("calcChain", edit("xl/calcChain.xml", '<c r="D5"/>', '<c r="D5"/><c r="B2"/>')),
    ("drawing anchor", edit("xl/drawings/drawing1.xml", "<xdr:to><xdr:col>6</xdr:col>", "<xdr:to><xdr:col>2</xdr:col>")),
    ("shape id", edit("xl/drawings/drawing1.xml", 'cNvPr id="3"', 'cNvPr id="2"')),
    ("dimension", edit(S1, '<dimension ref="A1:D6"/>', '<dimension ref="A1:C4"/>')),
    ("table header", edit("xl/sharedStrings.xml", "<si><t>Value</t></si>", "<si><t>Amount</t></si>")),
    ("table header", edit(S1, '<c r="B1" t="s"><v>1</v></c>', '<c r="B1"><v>1</v></c>')),
    ("table header", edit(TABLE, 'name="Key"', 'name="value"')),
    ("table totals row", both(edit(TABLE, 'ref="A1:B3">', 'ref="A1:B4" totalsRowCount="1">'),
                              edit(TABLE, 'name="Value"/>', 'name="Value" totalsRowFunction="sum"/>'))),
    ("table", edit(TABLE, 'ref="A1:B3"><autoFilter ref="A1:B3"/>', 'ref="A1:B3"><autoFilter ref="A1:B5"/>')),
    ("workbook", edit("xl/workbook.xml", 'name="Two"', 'name="ONE"')),
]


def write(folder, name, parts):
    path = os.path.join(folder, name)
    with zipfile.ZipFile(path, "w") as z:
        for part, data in parts.items():
            z.writestr(part, data)
    return path


class StrictCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.checker = Checker(Schemas())

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def check(self, name, parts):
        return self.checker.check(write(self.folder.name, name, parts))

    def test_the_sound_package_has_no_finding(self):
        result = self.check("sound.xlsx", sound())
        self.assertEqual([f.text("sound") for f in result.findings], [])
        self.assertEqual(result.validated, 13)
        self.assertEqual(result.binary, 1)

    def test_each_rule_tells_its_break(self):
        told = set()
        for n, (rule, change) in enumerate(BROKEN):
            parts = sound()
            change(parts)
            result = self.check("broken%d.xlsx" % n, parts)
            with self.subTest(case=n, rule=rule):
                rules = {f.rule for f in result.findings}
                self.assertEqual(rules, {rule}, [f.text("broken%d" % n) for f in result.findings])
                told |= rules
        # Every rule of the check is broken above at least once.
        self.assertEqual(told, {r for r, _ in BROKEN})

    def test_a_fill_is_held_to_its_template(self):
        template = sound()
        edit(S1, '<dimension ref="A1:D6"/>', '<dimension ref="A1:C4"/>')(template)
        filled = dict(template)
        edit(S1, '<c r="B3" s="1">', '<c r="B3" s="7">')(filled)
        edit(S1, "<v>1.5</v>", "<v>2.5</v>")(filled)  # moves no finding
        new, kept = introduced(self.check("template.xlsx", template), self.check("filled.xlsx", filled))
        self.assertEqual([f.rule for f in kept], ["dimension"])
        self.assertEqual([f.text("filled.xlsx") for f in new],
                         ["filled.xlsx: xl/worksheets/sheet1.xml:2: style index: cell B3 has style 7 "
                          "of 2 cell formats"])

    def test_the_command_counts_what_it_checked_and_fails_on_added_findings(self):
        template = write(self.folder.name, "t.xlsx", sound())
        parts = sound()
        edit(S1, "<v>#N/A</v>", "<v>#WHAT</v>")(parts)
        filled = write(self.folder.name, "f.xlsx", parts)
        listing = os.path.join(self.folder.name, "listing.txt")
        with open(listing, "w") as f:
            f.write("%s\t%s\n%s\t%s\n" % (template, template, template, filled))
        run = subprocess.run([sys.executable, "-B", os.path.dirname(os.path.abspath(__file__)) +
                              "/strict_check", listing], capture_output=True, text=True)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("f.xlsx: xl/worksheets/sheet1.xml:2: cell value: cell B6: '#WHAT' is no "
                      "error value", run.stdout)
        self.assertIn("checked 2 packages (1 templates): 28 parts, 26 validated against a schema, "
                      "0 without a schema, 2 not XML", run.stdout)
        self.assertIn("0 in the templates, 0 of them still in the filled packages; 1 added", run.stdout)

    def test_a_missing_schema_folder_is_named(self):
        run = subprocess.run([sys.executable, "-B", os.path.dirname(os.path.abspath(__file__)) +
                              "/strict_check", "--each", "x.xlsx"], capture_output=True, text=True,
                             env=dict(os.environ, QX_SCHEMA_DIR="/nonexistent/schemas"))
        self.assertEqual(run.returncode, 2)
        self.assertIn("the schema folder /nonexistent/schemas is missing", run.stderr)


def processed(xml, understood=(MAIN,)):
    root = etree.fromstring(xml)
    found = compatibility.process(root, set(understood), compatibility.declarations(xml.encode()))
    return etree.tostring(root).decode(), [message for _, message in found]


class MarkupCompatibility(unittest.TestCase):
    W = '<x xmlns="%s" xmlns:mc="%s" xmlns:e="urn:e" xmlns:f="urn:f" ' % (MAIN, MC)

    def test_cases(self):
        cases = [
            # ignorable attributes and elements go, the rest stays
            (self.W + 'mc:Ignorable="e" e:a="1" b="2"><e:y/><z/></x>',
             '<x xmlns="%s" b="2"><z/></x>', []),
            # ProcessContent keeps an ignored element's children
            (self.W + 'mc:Ignorable="e" mc:ProcessContent="e:y"><e:y><z/></e:y></x>',
             '<x xmlns="%s"><z/></x>', []),
            # the first Choice whose namespaces are understood, else the Fallback
            (self.W + '><mc:AlternateContent><mc:Choice Requires="e"><a/></mc:Choice>'
             '<mc:Fallback><b/></mc:Fallback></mc:AlternateContent></x>', '<x xmlns="%s"><b/></x>', []),
            (self.W + 'xmlns:m="%s"><mc:AlternateContent><mc:Choice Requires="m"><a/></mc:Choice>'
             '<mc:Fallback><b/></mc:Fallback></mc:AlternateContent></x>' % MAIN,
             '<x xmlns="%s"><a/></x>', []),
            # no branch that fits: nothing
            (self.W + '><mc:AlternateContent><mc:Choice Requires="e f"><a/></mc:Choice>'
             '</mc:AlternateContent><c/></x>', '<x xmlns="%s"><c/></x>', []),
            # an attribute neither understood nor ignorable is told, MustUnderstand too
            (self.W + 'e:a="1"/>', '<x xmlns="%s"/>', ["attribute a of x is in urn:e, which is "
                                                      "neither understood nor ignorable"]),
            (self.W + 'mc:MustUnderstand="f"/>', '<x xmlns="%s"/>',
             ["MustUnderstand names urn:f, which is not understood"]),
            # an extension's content is its own business
            (self.W + '><extLst><ext uri="u"><e:q e:a="1" mc:Ignorable="f"/></ext></extLst></x>',
             '<x xmlns="%%s" xmlns:mc="%s" xmlns:e="urn:e"><extLst><ext uri="u"><e:q e:a="1" '
             'mc:Ignorable="f"/></ext></extLst></x>' % MC, []),
        ]
        for source, expected, messages in cases:
            with self.subTest(source=source):
                text, told = processed(source)
                self.assertEqual(self.strip(text), self.strip(expected % MAIN))
                self.assertEqual(told, messages)

    @staticmethod
    def strip(xml):
        """The markup without namespace declarations that nothing uses any more."""
        root = etree.fromstring(xml)
        etree.cleanup_namespaces(root)
        return etree.tostring(root).decode()


if __name__ == "__main__":
    unittest.main(verbosity=2)
