"""The strict check of one package: every XML part well-formed and, after Markup Compatibility
processing, valid against the schema of its root's namespace; then the rules the schemas
cannot state, over parts and across them."""
import posixpath
import re
import zipfile

from lxml import etree

from . import compatibility, package_rules, part_rules, sheet_rules, streaming, table_rules
from .findings import Result
from .package import CONTENT_TYPES, Package, extension_of, parser

_SML_MAIN = {"http://schemas.openxmlformats.org/spreadsheetml/2006/main",
             "http://purl.oclc.org/ooxml/spreadsheetml/main"}
_PREFIXES = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main": "x",
    "http://purl.oclc.org/ooxml/spreadsheetml/main": "x",
    "http://schemas.openxmlformats.org/drawingml/2006/main": "a",
    "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing": "xdr",
    "http://schemas.openxmlformats.org/drawingml/2006/chart": "c",
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships": "r",
    "http://schemas.openxmlformats.org/package/2006/relationships": "rel",
    "http://schemas.openxmlformats.org/package/2006/content-types": "ct",
}
_NAMESPACE_IN_MESSAGE = re.compile(r"\{([^}]*)\}")
_KEEP_TEXTS = 200000  # shared string items whose texts are kept for the table checks
_XML_EXTENSIONS = {"xml", "rels", "vml"}


def _short(message):
    return _NAMESPACE_IN_MESSAGE.sub(
        lambda m: (_PREFIXES[m.group(1)] + ":") if m.group(1) in _PREFIXES else m.group(0),
        message)


class Book:
    """What parts tell of each other: sheets, format counts, shared strings, tables. A count is
    None when its part cannot be read: the indexes into it are not judged then."""

    def __init__(self):
        self.cell_formats = 1
        self.dxf_count = 0
        self.shared_count = 0
        self.texts = []
        self.sheets = []  # (name, sheetId, part)
        self.tables = {}  # sheet part -> [Table]
        self.formulas = {}  # sheetId -> (cells, array ranges)

    def shared_text(self, index):
        return self.texts[index] if index < len(self.texts) else None


class Checker:
    def __init__(self, schemas):
        self.schemas = schemas
        self.understood = schemas.understood()

    def check(self, path):
        result = Result(path)
        try:
            package = Package(path)
        except (zipfile.BadZipFile, OSError) as e:
            result.add("", 0, "package", "no zip package (%s)" % e, "no zip")
            return result
        try:
            _Run(self, package, result).run()
        except Exception as e:  # a package no rule foresaw: told as a finding, never a crash
            result.add("", 0, "check failed", "%s: %s" % (type(e).__name__, e))
        finally:
            package.close()
        return result


class _Run:
    def __init__(self, checker, package, result):
        self.checker, self.package, self.result = checker, package, result
        self.book = Book()
        self.done = set()

    # ---- parts, whole or streamed ---------------------------------------------------------

    def is_xml(self, part):
        content_type = self.package.content_type(part)
        if content_type:
            return content_type.endswith("xml") or content_type.endswith(".vmlDrawing") or \
                content_type.endswith("vmlDrawing")
        return extension_of(part) in _XML_EXTENSIONS

    def kind(self, part):
        return self.package.content_type(part) or "(no content type)"

    def parse(self, part):
        """The part's root, processed and validated; None when it is no XML or has no
        schema (then `self.raw` holds the unprocessed root, if any)."""
        self.done.add(part)
        self.raw = None
        data = self.package.read(part)
        try:
            root = etree.fromstring(data, parser())
        except etree.XMLSyntaxError as e:
            self.result.add(part, e.lineno, "well-formed", e.msg, "not well-formed")
            return None
        if root.getroottree().docinfo.doctype:
            self.result.add(part, 1, "well-formed", "the part has a DOCTYPE", "doctype")
            return None
        return self.validate(part, root, compatibility.declarations(data))

    def validate(self, part, root, declared, count=True):
        schema = self.checker.schemas.for_namespace(etree.QName(root).namespace)
        if schema is None:
            if count:
                self.result.unschemed[self.kind(part)] += 1
            self.raw = root
            package_rules.check_relationship_ids(self.result, self.package, part, root)
            return None
        for line, message in compatibility.process(root, self.checker.understood, declared):
            self.result.add(part, line, "compatibility", message)
        try:
            valid = schema.validate(root)
        except etree.XMLSchemaValidateError as e:
            self.result.add(part, root.sourceline, "schema", "cannot be validated (%s)" % e)
            valid = True
        if not valid:
            for error in schema.error_log:
                self.result.add(part, error.line, "schema", _short(error.message))
        if count:
            self.result.validated += 1
        return root

    def stream(self, part, container, item, on_batch):
        self.done.add(part)

        def batch(top, items, declared):
            self.validate(part, top, declared, count=False)
            on_batch(items)

        def broken(line, message):
            self.result.add(part, line, "well-formed", message, "not well-formed")

        with self.package.open(part) as source:
            streamed = streaming.stream(source, container, item, batch, broken)
        if streamed is None:
            return None, 0
        if streamed.root.getroottree().docinfo.doctype:
            self.result.add(part, 1, "well-formed", "the part has a DOCTYPE", "doctype")
            return None, 0
        root = self.validate(part, streamed.root, streamed.declared)
        return (root if root is not None else self.raw), streamed.items

    # ---- the order in which parts are read -------------------------------------------------

    def run(self):
        package, result = self.package, self.result
        result.parts = len(package.entries)
        if not package.exists(CONTENT_TYPES):
            result.add(CONTENT_TYPES, 0, "content type", "the package has no [Content_Types].xml",
                       "missing")
        else:
            root = self.parse(CONTENT_TYPES)
            if root is not None or self.raw is not None:
                package.load_content_types(root if root is not None else self.raw)
        package_rules.check_content_types(result, package)
        for part in sorted(package.entries):
            if part.endswith(".rels"):
                self.generic(part)
                package_rules.check_relationships(result, package, part)
        main = next(iter(package.related("", "officeDocument")), None)
        if main is not None:
            self.workbook(main)
        for part in sorted(package.entries):
            if part in self.done:
                continue
            if not self.is_xml(part):
                result.binary += 1
                continue
            if part.lower().endswith("calcchain.xml"):
                continue
            self.generic(part)
        for part in sorted(package.entries):
            if part not in self.done and self.is_xml(part):
                self.generic(part)

    def generic(self, part):
        root = self.parse(part)
        if root is None:
            return None
        package_rules.check_relationship_ids(self.result, self.package, part, root)
        part_rules.check_counts(self.result, part, root, _SML_MAIN)
        name = part_rules.local(root)
        if name in ("wsDr",):
            part_rules.check_drawing(self.result, part, root)
        elif name in ("userShapes",):
            part_rules.check_shape_ids(self.result, part, root)
        elif name == "calcChain":
            part_rules.check_calculation_chain(self.result, part, root, self.book.formulas)
        return root

    def workbook(self, main):
        package, book, result = self.package, self.book, self.result
        root = self.generic(main)
        if root is not None:
            part_rules.check_workbook(result, main, root)
        ids = {r.id: r for r in package.relationships(main)}
        sheets = part_rules.child(root, "sheets") if root is not None else None
        for sheet in part_rules.children(sheets) if sheets is not None else []:
            rid = next((v for k, v in sheet.attrib.items() if k.endswith("}id")), None)
            r = ids.get(rid)
            if r is not None and r.kind == "worksheet" and package.exists(r.part):
                book.sheets.append((sheet.get("name"), sheet.get("sheetId"), package.name(r.part)))
        for styles in package.related(main, "styles"):
            styles = package.name(styles)
            if styles in self.done:
                continue
            root = self.generic(styles)
            if root is None:
                book.cell_formats = book.dxf_count = None
            else:
                found = part_rules.Styles(root)
                found.check(result, styles)
                book.cell_formats = max(len(found.lists["cellXfs"]), 1)
                book.dxf_count = len(found.lists["dxfs"])
        for strings in package.related(main, "sharedStrings"):
            self.shared_strings(package.name(strings))
        for name, sheet_id, part in book.sheets:
            if part in self.done:
                continue
            tables = []
            for table_part in package.related(part, "table"):
                table_part = package.name(table_part)
                root = self.generic(table_part) if table_part not in self.done else None
                if root is not None:
                    tables.append(table_rules.Table(result, table_part, root))
            self.sheet(part, sheet_id, tables)
        for chain in package.related(main, "calcChain"):
            chain = package.name(chain)
            if chain not in self.done:
                self.generic(chain)

    def shared_strings(self, part):
        if part in self.done:
            return
        book = self.book
        tags = {}

        def items(batch):
            if not tags and batch:
                ns = etree.QName(batch[0]).namespace
                tags.update(t="{%s}t" % ns, r="{%s}r" % ns)
            for si in batch:
                if len(book.texts) < _KEEP_TEXTS:
                    book.texts.append(sheet_rules.A1.item_text(si, tags["t"], tags["r"]))

        root, count = self.stream(part, "", "si", items)
        book.shared_count = count if root is not None else None
        if root is not None:
            package_rules.check_relationship_ids(self.result, self.package, part, root)
            part_rules.check_counts(self.result, part, root, _SML_MAIN)
            unique = root.get("uniqueCount")
            if unique is not None and (not unique.isdigit() or int(unique) != count):
                self.result.add(part, root.sourceline, "count attribute", "sst uniqueCount=%s, "
                                "%d items" % (unique, count), "sst uniqueCount")

    def sheet(self, part, sheet_id, tables):
        check = {}

        def rows(batch):
            if "it" not in check:
                ns = etree.QName(batch[0]).namespace
                check["it"] = sheet_rules.SheetCheck(self.result, part, ns, self.book, tables)
            check["it"].rows(batch)

        root, _ = self.stream(part, "sheetData", "row", rows)
        if root is None:
            return
        sheet = check.get("it") or sheet_rules.SheetCheck(
            self.result, part, etree.QName(root).namespace, self.book, tables)
        package_rules.check_relationship_ids(self.result, self.package, part, root)
        part_rules.check_counts(self.result, part, root, _SML_MAIN)
        sheet.finish(root)
        self.book.formulas[sheet_id] = (sheet.formulas, sheet.arrays)
