#!/usr/bin/python3
"""Compares filled workbooks with their templates, independently of the engine.

  template_diff.py plan LIST     for each template path of LIST (one a line): name, whether the
                                 active sheet is a worksheet, its used range (top, left, bottom,
                                 right) and a row inside it, counted from its top, whose first
                                 cell shows nothing (0 when none), tab-separated
  template_diff.py check LIST    LIST lines: template TAB filled TAB framed cells (A1 names,
                                 comma-separated, on the active sheet). Prints every difference
                                 that the written cells (texts starting with "QXW"), the frames,
                                 the dimension and an added picture do not explain, a count by
                                 class, and what was compared; exits 1 on any difference.
                                 A table column whose header cell was written takes the written
                                 text as its name; the formulas that named it by its old name
                                 then name it by the new one, and nothing else changes.

Two readers: openpyxl for what a user sees (every cell's value and resolved style, merged
ranges, conditional formats, validations, names, widths, heights, hyperlinks, comments,
charts), and a structural XML comparison of every part whose bytes changed.
"""
import copy
import multiprocessing
import os
import re
import sys
import warnings
import xml.etree.ElementTree as ET
import zipfile
from collections import Counter

import openpyxl
from openpyxl.utils import get_column_letter
from openpyxl.utils.cell import coordinate_from_string, column_index_from_string

MARK = "QXW"
# openpyxl takes a minute for a million cells or 50,000 merged ranges: above this much sheet
# XML, the structural comparison alone covers the cells.
USER_VIEW_LIMIT = 4 << 20
warnings.simplefilter("ignore")


def local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else str(tag)


def parse(data):
    parser = ET.XMLParser(target=ET.TreeBuilder(insert_comments=True, insert_pis=True))
    parser.feed(data)
    return parser.close()


def prolog(data):
    """Comments and processing instructions before the root element."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        data = data.decode("utf-16").encode("utf-8")
    head = data[:data.find(b"<", re.search(rb"<[^?!]", data).start())] if re.search(
        rb"<[^?!]", data) else data
    return re.findall(rb"<!--.*?-->|<\?(?!xml[\s?]).*?\?>", head, re.S)


def names_in(archive):
    return {n.replace("\\", "/"): n for n in archive.namelist()}


# ---- the engine's view of a sheet, to plan the fills ---------------------------------------

def sheet_parts(archive):
    names = names_in(archive)
    book = parse(archive.read(names["xl/workbook.xml"]))
    rels = parse(archive.read(names["xl/_rels/workbook.xml.rels"]))
    targets = {r.get("Id"): r.get("Target") for r in rels}
    out, titles = [], []
    for s in book.iter():
        if local(s.tag) != "sheet":
            continue
        rid = next(v for k, v in s.attrib.items() if local(k) == "id")
        target = targets[rid].lstrip("/")
        out.append(target if target.startswith("xl/") else "xl/" + target)
        titles.append(s.get("name"))
    sheet_parts.titles = dict(zip(out, titles))
    tab = 0
    for v in book.iter():
        if local(v.tag) == "workbookView":
            tab = int(v.get("activeTab", "0"))
            break
    return out, (tab if tab < len(out) else 0)


def plan_one(path):
    name = os.path.basename(path)
    with zipfile.ZipFile(path) as archive:
        parts, active = sheet_parts(archive)
        part = names_in(archive).get(parts[active])
        root = parse(archive.read(part)) if part else None
    if root is None or local(root.tag) != "worksheet":
        return "%s\t0\t0\t0\t0\t0\t0" % name
    rows = {}
    for row in root.iter():
        if local(row.tag) != "row":
            continue
        for c in row:
            if local(c.tag) != "c":
                continue
            col, r = coordinate_from_string(c.get("r"))
            has_value = any(local(x.tag) in ("v", "is", "f") for x in c)
            shown = has_value and "".join(c.itertext()) != ""
            rows.setdefault(r, {})[column_index_from_string(col)] = (
                has_value or c.get("s", "0") != "0", shown)
    used = [(r, col) for r, cells in rows.items() for col, (u, _) in cells.items() if u]
    if not used:
        return "%s\t1\t1\t1\t1\t1\t0" % name
    top, left = min(r for r, _ in used), min(c for _, c in used)
    bottom, right = max(r for r, _ in used), max(c for _, c in used)
    inside = 0
    for r in range(bottom, top, -1):  # the lowest row inside whose first cell shows nothing
        if not rows.get(r, {}).get(left, (False, False))[1]:
            inside = r - top + 1
            break
    return "%s\t1\t%d\t%d\t%d\t%d\t%d" % (name, top, left, bottom, right, inside)


# ---- the structural comparison of changed parts -------------------------------------------

class Report:
    def __init__(self, name):
        self.name, self.lines, self.classes = name, [], Counter()
        self.cells = self.parts = 0
        self.notes = []

    def add(self, kind, part, where, before, after):
        self.classes[kind] += 1
        if self.classes[kind] <= 5:  # enough to see the class; the count says the rest
            self.lines.append("%s: %s: %s: %r -> %r [%s]" % (self.name, part, where, before,
                                                            after, kind))


def text_kind(before, after):
    before, after = before or "", after or ""
    if "\r" in before and "\r" not in after:
        return "carriage return"
    if before.strip() != before or not before.strip():
        return "whitespace text"
    return "text"


def same_text(a, b, leaf):
    a, b = a or "", b or ""
    return a == b if leaf else a.strip() == b.strip()


def node_name(node):
    if node.tag is ET.Comment:
        return "<!--comment-->"
    if node.tag is ET.PI:
        return "<?pi?>"
    return local(node.tag)


def compare(a, b, report, part, where, ignore=()):
    """Every attribute, text and child of `a` as in `b`; whitespace between elements aside."""
    if a.tag != b.tag:
        report.add("element", part, where, node_name(a), node_name(b))
        return
    if a.tag in (ET.Comment, ET.PI):
        if a.text != b.text:
            report.add("comment or PI", part, where, a.text, b.text)
        return
    attrs_a = {k: v for k, v in a.attrib.items() if local(k) not in ignore}
    attrs_b = {k: v for k, v in b.attrib.items() if local(k) not in ignore}
    if attrs_a != attrs_b:
        report.add("attribute", part, where, attrs_a, attrs_b)
    leaf = len(a) == 0 and len(b) == 0
    if not same_text(a.text, b.text, leaf):
        report.add(text_kind(a.text, b.text), part, where + "/text()", a.text, b.text)
    compare_children(list(a), list(b), report, part, where)


def compare_children(ca, cb, report, part, where):
    for i, (x, y) in enumerate(zip(ca, cb)):
        compare(x, y, report, part, "%s/%s[%d]" % (where, node_name(x), i))
        if not same_text(x.tail, y.tail, False):
            report.add(text_kind(x.tail, y.tail), part, where + "/tail", x.tail, y.tail)
    for x in ca[len(cb):]:
        report.add(lost_kind(x), part, where, node_name(x), None)
    for y in cb[len(ca):]:
        report.add("element added", part, where, None, node_name(y))


def lost_kind(node):
    return "comment or PI" if node.tag in (ET.Comment, ET.PI) else "element lost"


def shared_texts(archive):
    part = names_in(archive).get("xl/sharedStrings.xml")
    if part is None:
        return []
    return ["".join(t.text or "" for t in si.iter() if local(t.tag) == "t")
            for si in parse(archive.read(part)) if local(si.tag) == "si"]


def cell_text(c, strings):
    v = next((x for x in c if local(x.tag) == "v"), None)
    if c.get("t") == "s" and v is not None and v.text and v.text.isdigit():
        i = int(v.text)
        return strings[i] if i < len(strings) else ""
    return "".join(c.itertext())


def records(styles, name, record):
    """The records of a styles list; mc:AlternateContent counts as one (its fallback)."""
    out = []
    for child in next((x for x in styles if local(x.tag) == name), []):
        if local(child.tag) == "AlternateContent":
            child = next((x for x in child.iter() if local(x.tag) == record), None)
        elif local(child.tag) != record:
            continue
        out.append(child)
    return out


def framed_sides(archive):
    """For a cell format index, the sides of its border that have a line."""
    part = names_in(archive).get("xl/styles.xml")
    styles = parse(archive.read(part)) if part else []
    xfs, borders = records(styles, "cellXfs", "xf"), records(styles, "borders", "border")

    def sides(s):
        xf = xfs[s] if s < len(xfs) else None
        border_id = int(xf.get("borderId", "0")) if xf is not None else 0
        border = borders[border_id] if border_id < len(borders) else []
        names = {"start": "left", "end": "right"}  # Strict names
        return {names.get(local(x.tag), local(x.tag)) for x in border
                if x.get("style") not in (None, "none")}
    return sides


ROW = re.compile(rb"<(?:[\w.-]+:)?row\b[^>]*?(?:/>|>.*?</(?:[\w.-]+:)?row>)", re.S)
ROW_NUMBER = re.compile(rb'\sr="(\d+)"')


def split_rows(data):
    """A worksheet as its XML without the rows, and its rows' bytes by number; None where the
    rows cannot be told apart by their bytes (UTF-16, rows without numbers)."""
    start = re.search(rb"<((?:[\w.-]+:)?)sheetData\b[^>]*?(/?)>", data)
    root = re.search(rb"<((?:[\w.-]+:)?worksheet)\b[^>]*>", data)
    if not start or not root or start.group(2):
        return None
    end = data.find(b"</" + start.group(1) + b"sheetData>", start.end())
    rows = {}
    for m in ROW.finditer(data, start.end(), end):
        number = ROW_NUMBER.search(m.group(0)[:m.group(0).find(b">")])
        if not number:
            return None
        rows[number.group(1).decode()] = m.group(0)
    wrap = (root.group(0), b"</" + root.group(1) + b">")
    return data[:start.end()] + data[end:], rows, wrap


def row_element(raw, wrap):
    return parse(wrap[0] + raw + wrap[1])[0]


# ---- table columns named by written header cells -------------------------------------------

_SPECIAL = set("\t\n\r,:.[]#'\"{}$^&*+=-<>/")


def _unescape(text):
    return re.sub(r"'(.)", r"\1", text)


def _escape(name):
    return re.sub(r"([\[\]#'])", r"'\1", name)


def table_renames(za, zb):
    """(table name, old column name, new name) for every column of a changed table part that
    now has a written name."""
    renames = []
    for name in names_in(zb):
        if not re.match(r"xl/tables/[^/]+\.xml$", name) or name not in names_in(za):
            continue
        a, b = za.read(names_in(za)[name]), zb.read(names_in(zb)[name])
        if a == b:
            continue
        ta, tb = parse(a), parse(b)
        cols = lambda t: [c for c in t.iter() if local(c.tag) == "tableColumn"]
        for x, y in zip(cols(ta), cols(tb)):
            if x.get("name") != y.get("name") and (y.get("name") or "").startswith(MARK):
                renames.append((tb.get("displayName") or tb.get("name"), x.get("name"),
                                y.get("name")))
    return renames


def renamed(formula, renames):
    """The formula as the application writes it once the columns are renamed: each structured
    reference to an old name names the new one."""
    for table, old, new in renames:
        def specifier(text, bare):
            if _unescape(text).strip().lower() != old.lower():
                return text
            escaped = _escape(new)
            return "[%s]" % escaped if bare and set(new) & _SPECIAL else escaped

        def reference(m):
            content = m.group(2)
            if content.lstrip().startswith("["):
                content = re.sub(r"\[((?:[^\[\]']|'.)*)\]",
                                 lambda g: "[%s]" % specifier(g.group(1), False), content)
            elif not content.startswith("#"):
                content = specifier(content, True)
            return m.group(1) + "[" + content + "]"
        formula = re.sub(r"(?i)(?<![\w.\\])(%s)\[((?:[^\[\]']|'.|\[(?:[^\[\]']|'.)*\])*)\]"
                         % re.escape(table), reference, formula)
    return formula


def same_but_formula(ca, cb):
    """Whether the two cells are alike once the first takes the second's formula."""
    copy_a = copy.deepcopy(ca)
    fa = next(x for x in copy_a.iter() if local(x.tag) == "f")
    fb = next(x for x in cb.iter() if local(x.tag) == "f")
    fa.text = fb.text
    fa.attrib.clear()
    fa.attrib.update(fb.attrib)
    probe = Report("")
    compare(copy_a, cb, probe, "", "")
    return not probe.classes


def formulas_of(cell):
    return [x for x in cell.iter() if local(x.tag) == "f"]


def renames_formulas(ca, cb, renames):
    """Whether the cell differs only by formulas that the renamed columns explain."""
    fa, fb = formulas_of(ca), formulas_of(cb)
    if not renames or len(fa) != 1 or len(fb) != 1:
        return False
    return renamed(fa[0].text or "", renames) == (fb[0].text or "") and same_but_formula(ca, cb)


def unshared(ca, cb, written_masters):
    """Whether the cell shared the formula of a master that was written over, and now holds that
    formula in full, as the application writes it."""
    fa, fb = formulas_of(ca), formulas_of(cb)
    if len(fa) != 1 or len(fb) != 1 or fa[0].get("t") != "shared" or \
            fa[0].get("si") not in written_masters:
        return False
    return fb[0].get("t") is None and bool(fb[0].text) and same_but_formula(ca, cb)


def compare_table(a, b, report, part):
    """A table part: a column may take a written header's name, and a totals cell's label a
    written text (its function and formula then go)."""
    a, b = copy.deepcopy(a), copy.deepcopy(b)
    cols = lambda t: [c for c in t.iter() if local(c.tag) == "tableColumn"]
    for x, y in zip(cols(a), cols(b)):
        if x.get("name") != y.get("name") and (y.get("name") or "").startswith(MARK):
            x.set("name", y.get("name"))
        if (y.get("totalsRowLabel") or "").startswith(MARK):
            for key in ("totalsRowFunction", "totalsRowLabel"):
                x.attrib.pop(key, None)
            x.set("totalsRowLabel", y.get("totalsRowLabel"))
            for f in [f for f in x if local(f.tag) == "totalsRowFormula"]:
                x.remove(f)
    compare(a, b, report, part, "table")


def compare_sheet(before, after, report, part, strings, framed, sides, renames=()):
    split_a, split_b = split_rows(before), split_rows(after)
    if split_a and split_b:
        a, b = parse(split_a[0]), parse(split_b[0])
        raw_a, raw_b = split_a[1], split_b[1]
    else:
        a, b = parse(before), parse(after)
        raw_a = {r.get("r"): r for x in a if local(x.tag) == "sheetData" for r in x
                 if local(r.tag) == "row"}
        raw_b = {r.get("r"): r for x in b if local(x.tag) == "sheetData" for r in x
                 if local(r.tag) == "row"}
    framed_rows = {str(coordinate_from_string(c)[1]) for c in framed}
    written_masters = set()  # shared formulas whose master cell was written over
    rows_a, rows_b = {}, {}
    for r in set(raw_a) | set(raw_b):
        ra, rb = raw_a.get(r), raw_b.get(r)
        if isinstance(ra, bytes) and ra == rb and r not in framed_rows:
            report.cells += ra.count(b"<c ") + ra.count(b":c ")  # the same bytes: kept
            continue
        if ra is not None:
            rows_a[r] = row_element(ra, split_a[2]) if isinstance(ra, bytes) else ra
        if rb is not None:
            rows_b[r] = row_element(rb, split_b[2]) if isinstance(rb, bytes) else rb
    for k in set(a.attrib) | set(b.attrib):
        if a.get(k) != b.get(k):
            report.add("attribute", part, "worksheet", a.get(k), b.get(k))
    kids_a = [x for x in a if local(x.tag) not in ("sheetData", "dimension")]
    kids_b = [x for x in b if local(x.tag) not in ("sheetData", "dimension")]
    if len(kids_b) == len(kids_a) + 1 and not any(local(x.tag) == "drawing" for x in kids_a):
        kids_b = [x for x in kids_b if local(x.tag) != "drawing"]  # the added picture
    compare_children(kids_a, kids_b, report, part, "worksheet")
    for r in set(rows_a) & set(rows_b):
        after_b = {c.get("r"): c for c in rows_b[r] if local(c.tag) == "c"}
        for c in rows_a[r]:
            for f in formulas_of(c):
                written = after_b.get(c.get("r"))
                if f.get("t") == "shared" and f.get("ref") and written is not None and \
                        cell_text(written, strings).startswith(MARK):
                    written_masters.add(f.get("si"))
    for r in sorted(set(rows_a) | set(rows_b), key=lambda x: int(x or 0)):
        ra, rb = rows_a.get(r), rows_b.get(r)
        cells_a = {c.get("r"): c for c in (ra if ra is not None else []) if local(c.tag) == "c"}
        cells_b = {c.get("r"): c for c in (rb if rb is not None else []) if local(c.tag) == "c"}
        for name in sorted(set(cells_a) | set(cells_b)):
            report.cells += 1
            ca, cb = cells_a.get(name), cells_b.get(name)
            if name in framed and cb is not None:
                drawn = sides(int(cb.get("s", "0")))
                if not {"left", "right", "top", "bottom"} <= drawn:
                    report.add("frame lost", part, name, "4 sides", sorted(drawn))
            written = cb is not None and cell_text(cb, strings).startswith(MARK)
            if written:
                if ca is not None and ca.get("ph") and cb.get("ph") != ca.get("ph"):
                    report.add("phonetic flag", part, name, ca.get("ph"), cb.get("ph"))
                continue
            if ca is None:
                if name not in framed:
                    report.add("cell added", part, name, None, cell_text(cb, strings))
                continue
            if cb is None:
                report.add("cell lost", part, name, cell_text(ca, strings), None)
                continue
            if renames_formulas(ca, cb, renames) or unshared(ca, cb, written_masters):
                continue
            compare(ca, cb, report, part, name, ("s",) if name in framed else ())
        if ra is None:
            continue
        if rb is None:
            report.add("row lost", part, "row " + r, r, None)
            continue
        attrs = lambda row: {k: v for k, v in row.attrib.items() if k != "spans"}
        if attrs(ra) != attrs(rb):
            report.add("row attribute", part, "row " + r, attrs(ra), attrs(rb))
        compare_children([x for x in ra if local(x.tag) != "c"],
                         [x for x in rb if local(x.tag) != "c"], report, part, "row " + r)


def compare_appended(a, b, report, part, lists):
    """Children of the lists in `lists` may gain items at their end; all else is kept."""
    for k in set(a.attrib) | set(b.attrib):
        if k not in ("count", "uniqueCount") and a.get(k) != b.get(k):
            report.add("attribute", part, local(a.tag), a.get(k), b.get(k))
    if local(a.tag) in lists:
        kids_b = list(b)
        kept = [x for x in kids_b if local(x.tag) not in lists[local(a.tag)]]
        items = [x for x in kids_b if local(x.tag) in lists[local(a.tag)]]
        items_a = [x for x in a if local(x.tag) in lists[local(a.tag)]]
        compare_children(items_a, items[:len(items_a)], report, part, local(a.tag))
        compare_children([x for x in a if local(x.tag) not in lists[local(a.tag)]], kept,
                         report, part, local(a.tag))
        return
    ca, cb = list(a), list(b)
    for i, (x, y) in enumerate(zip(ca, cb)):
        if local(x.tag) in lists or any(local(z.tag) in lists for z in x.iter()):
            compare_appended(x, y, report, part, lists)
        else:
            compare(x, y, report, part, "%s/%s" % (local(a.tag), node_name(x)))
    compare_children(ca[len(cb):], [], report, part, local(a.tag))
    if len(cb) > len(ca):
        compare_children([], cb[len(ca):], report, part, local(a.tag))


def compare_entries(a, b, report, part, chain_dropped=False):
    """Relationships and content types: every entry of the template stays, but those of a
    calculation chain that was dropped with a formula written over."""
    key = lambda x: tuple(sorted(x.attrib.items()))
    kept = {key(x) for x in b}
    for x in a:
        chain = (x.get("Type") or x.get("ContentType") or "").endswith(("/calcChain",
                                                                        "calcChain+xml"))
        if key(x) not in kept and not (chain and chain_dropped):
            report.add("entry lost", part, local(x.tag), dict(x.attrib), None)


STYLE_LISTS = {"styleSheet": (), "numFmts": ("numFmt",), "borders": ("border",),
               "cellXfs": ("xf", "AlternateContent")}


def root_name(data):
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        data = data.decode("utf-16").encode("utf-8")
    m = re.search(rb"<(?![?!])(?:[\w.-]+:)?([\w.-]+)", data)
    return m.group(1).decode() if m else ""


def compare_part(part, before, after, report, strings, framed, sides, renames=(),
                 chain_dropped=False):
    if prolog(before) != prolog(after):
        report.add("comment or PI", part, "prolog", prolog(before), prolog(after))
    if root_name(before) == "worksheet":
        try:
            compare_sheet(before, after, report, part, strings, framed.get(part, set()), sides,
                          renames)
        except ET.ParseError as e:
            report.add("unreadable part", part, "", "well-formed", str(e))
        return
    try:
        a = parse(before)
    except ET.ParseError:
        return
    try:
        b = parse(after)
    except ET.ParseError as e:
        report.add("unreadable part", part, "", "well-formed", str(e))
        return
    kind = local(a.tag)
    if kind == "sst":
        compare_appended(a, b, report, part, {"sst": ("si",)})
    elif kind == "styleSheet":
        compare_appended(a, b, report, part, {k: v for k, v in STYLE_LISTS.items() if v})
    elif kind in ("wsDr",):
        compare_appended(a, b, report, part, {"wsDr": ("twoCellAnchor", "oneCellAnchor",
                                                       "absoluteAnchor")})
    elif kind in ("Relationships", "Types"):
        compare_entries(a, b, report, part, chain_dropped)
    elif kind == "table":
        compare_table(a, b, report, part)
    else:
        compare(a, b, report, part, kind)


# ---- what a user sees, through openpyxl ----------------------------------------------------

def brief(value):
    """An openpyxl style object in one line, its unset attributes left out."""
    text = re.sub(r"<openpyxl[.\w]* object>\nParameters:\n", "", repr(value))
    return re.sub(r"(, )?\w+=None", "", text).replace("\n", " ")


# Alignment attributes whose absence means their default.
ALIGNMENT_DEFAULTS = {"horizontal": "general", "vertical": "bottom", "wrapText": False,
                      "shrinkToFit": False, "indent": 0, "textRotation": 0,
                      "relativeIndent": 0, "readingOrder": 0}


def alignment(a):
    return tuple((k, getattr(a, k) if getattr(a, k) is not None else d)
                 for k, d in ALIGNMENT_DEFAULTS.items())


def style_of(x):
    """Font, fill, border, number format, alignment and protection, as text."""
    return (brief(x.font), brief(x.fill), brief(x.border), x.number_format,
            repr(alignment(x.alignment)), brief(x.protection))


def without_border(style):
    return style[:2] + style[3:]


class Styles:
    """Resolved styles by a workbook's style indices: a report has few styles, many cells."""

    def __init__(self):
        self.known = {}

    def __call__(self, x):
        key = tuple(x._style) if x.has_style else ()
        if key not in self.known:
            self.known[key] = style_of(x)
        return self.known[key]


def user_view(ws):
    return {
        "merged ranges": sorted(str(r) for r in ws.merged_cells.ranges),
        "conditional formats": sorted(
            (str(cf.sqref), repr([r.__dict__.get("formula") for r in cf.rules]))
            for cf in ws.conditional_formatting),
        "data validations": sorted(repr((str(d.sqref), d.type, d.formula1, d.formula2))
                                   for d in ws.data_validations.dataValidation),
        "column widths": sorted((k, d.width, d.hidden) for k, d in ws.column_dimensions.items()),
        "hyperlinks": sorted(repr((h.ref, h.target, h.location)) for h in ws._hyperlinks),
        "charts": len(ws._charts),
    }


def check_user_view(template, filled, report, framed_cells, changed_sheets, renames=()):
    try:
        wa = openpyxl.load_workbook(template)
    except Exception as e:  # openpyxl reads Strict packages and a few producers' quirks poorly
        report.notes.append("openpyxl cannot read the template (%s)" % type(e).__name__)
        return
    wb = openpyxl.load_workbook(filled)
    names = lambda w: sorted((n.name, n.attr_text) for n in w.defined_names.definedName)
    if names(wa) != names(wb):
        report.add("defined names", "workbook", "", names(wa), names(wb))
    active = wa.active.title if wa.active is not None else None
    for sa in wa.worksheets:
        sb = wb[sa.title]
        va, vb = user_view(sa), user_view(sb)
        for key in va:
            if va[key] != vb[key]:
                report.add(key, sa.title, key, va[key], vb[key])
        framed = set(framed_cells) if sa.title == active else set()
        spots = [(r, column_index_from_string(c)) for c, r in map(coordinate_from_string, framed)]
        for merged in sa.merged_cells.ranges:
            if any(merged.min_row <= r <= merged.max_row and merged.min_col <= c <= merged.max_col
                   for r, c in spots):
                framed |= {get_column_letter(col) + str(row)
                           for row, col in merged.cells}
        for r, dim in sa.row_dimensions.items():
            if sb.row_dimensions[r].height != dim.height:
                report.add("row heights", sa.title, "row %d" % r, dim.height,
                           sb.row_dimensions[r].height)
        if sa.title not in changed_sheets:
            continue
        style_a, style_b = Styles(), Styles()
        for key in sorted(set(sa._cells) | set(sb._cells)):
            existed = key in sa._cells
            ca, cb = sa.cell(*key), sb.cell(*key)
            # openpyxl shows a merged range's border on its other cells, not their own.
            if (cb.coordinate in framed_cells and sa.title == active
                    and not isinstance(cb, openpyxl.cell.cell.MergedCell)):
                b = cb.border
                if not all(side.style for side in (b.left, b.right, b.top, b.bottom)):
                    report.add("frame lost", sa.title, cb.coordinate, "thin", brief(b))
            if isinstance(cb.value, str) and cb.value.startswith(MARK):
                # The frame changes the border alone.
                expected = without_border(inherited_style(sa, ca, existed))
                got = without_border(style_b(cb))
                if expected != got:
                    report.add("written cell style", sa.title, cb.coordinate,
                               [x for x in expected if x not in got],
                               [x for x in got if x not in expected])
                continue
            report.cells += 1
            if isinstance(ca.value, str) and ca.value.startswith("=") and \
                    renamed(ca.value, renames) == cb.value:
                pass
            elif ca.value != cb.value:
                report.add(text_kind(str(ca.value), str(cb.value))
                           if isinstance(ca.value, str) else "cell value", sa.title,
                           cb.coordinate, ca.value, cb.value)
            if cb.coordinate in framed:
                continue
            if style_a(ca) != style_b(cb):
                report.add("cell style", sa.title, cb.coordinate,
                           [x for x in style_a(ca) if x not in style_b(cb)],
                           [x for x in style_b(cb) if x not in style_a(ca)])
            if (ca.comment and ca.comment.text) != (cb.comment and cb.comment.text):
                report.add("comments", sa.title, cb.coordinate, ca.comment, cb.comment)


def inherited_style(ws, cell, existed):
    """The style the application gives a cell that is written: its own, else its row's custom
    format, else its column's."""
    if existed and cell.has_style:
        return style_of(cell)
    row = ws.row_dimensions.get(cell.row)
    if not existed and row is not None and row.customFormat:
        return style_of(row)
    column = ws.column_dimensions.get(get_column_letter(cell.column))
    if column is None:  # a <col> span is keyed by its first column
        for d in ws.column_dimensions.values():
            if d.min and d.max and d.min <= cell.column <= d.max:
                column = d
                break
    if not existed and column is not None and column.has_style:
        return style_of(column)
    # The sheet's default: the first cell format, which an unstyled cell in openpyxl lacks.
    default = openpyxl.cell.cell.Cell(ws)
    default._style = copy.copy(ws.parent._cell_styles[0])
    return style_of(default)


def check_one(line):
    template, filled, framed = line.split("\t")
    framed = set(x for x in framed.split(",") if x)
    report = Report(os.path.join(os.path.basename(os.path.dirname(template)),
                                os.path.basename(template)))
    with zipfile.ZipFile(template) as za, zipfile.ZipFile(filled) as zb:
        na, nb = names_in(za), names_in(zb)
        renames = table_renames(za, zb)
        chain_dropped = any(n.lower().endswith("calcchain.xml") for n in na) and not any(
            n.lower().endswith("calcchain.xml") for n in nb)
        parts, active = sheet_parts(za)
        by_part = {parts[active]: framed} if parts else {}
        strings = shared_texts(zb)
        changed_titles = set()
        for name, stored in na.items():
            if name not in nb:
                if name != "xl/calcChain.xml":  # dropped with a formula that was written over
                    report.add("part lost", name, "", "present", None)
                continue
            before, after = za.read(stored), zb.read(nb[name])
            if before == after:
                continue
            report.parts += 1
            if name in sheet_parts.titles:
                changed_titles.add(sheet_parts.titles[name])
            compare_part(name, before, after, report, strings, by_part, framed_sides(zb),
                         renames, chain_dropped)
    with zipfile.ZipFile(template) as za:
        sheets = sum(i.file_size for i in za.infolist() if i.filename.startswith("xl/worksheets/"))
    if sheets <= USER_VIEW_LIMIT:
        check_user_view(template, filled, report, framed, changed_titles, renames)
    else:
        report.notes.append("%d bytes of sheets: structural comparison only" % sheets)
    return report


def main():
    verb, listing = sys.argv[1], sys.argv[2]
    lines = [x for x in open(listing, encoding="utf-8").read().splitlines() if x]
    if verb == "plan":
        for line in lines:
            print(plan_one(line))
        return 0
    with multiprocessing.Pool(os.cpu_count() or 1) as pool:
        reports = pool.map(check_one, lines, chunksize=1)
    classes, cells, parts = Counter(), 0, 0
    for report in reports:
        for line in report.lines:
            print(line)
        for note in report.notes:
            print("%s: %s" % (report.name, note))
        classes.update(report.classes)
        cells, parts = cells + report.cells, parts + report.parts
    hit = Counter(k for r in reports for k in r.classes)
    print("compared %d templates, %d cells, %d rewritten parts" % (len(reports), cells, parts))
    for kind, count in sorted(classes.items()):
        print("  %s: %d differences in %d templates" % (kind, count, hit[kind]))
    return 1 if classes else 0


if __name__ == "__main__":
    sys.exit(main())
