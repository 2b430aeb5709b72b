"""The rules of one worksheet's cells that no schema can state: rows and cells in order and on
the sheet, values of their type, style and shared-string indexes, shared formulas, the
dimension, merged ranges, and the cells that table parts describe (header names, totals row)."""
import math
import re

from . import cells as A1

ERRORS = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A", "#GETTING_DATA"}
_DATE = re.compile(r"^\d{4}-\d{2}-\d{2}(T\d{2}:\d{2}(:\d{2}(\.\d+)?)?(Z|[+-]\d{2}:\d{2})?)?$")
_TOTALS_FUNCTIONS = {"sum", "min", "max", "average", "count", "countNums", "stdDev", "var",
                     "custom"}


class Watched:
    """What a table needs to know of one cell: its kind ("text", "number", "formula text",
    "boolean", "error", "empty"), its text, whether it has a formula."""
    __slots__ = ("kind", "text", "formula", "line")

    def __init__(self):
        self.kind, self.text, self.formula, self.line = "empty", "", False, 0


class SheetCheck:
    def __init__(self, result, part, namespace, book, tables):
        self.result, self.part, self.book, self.tables = result, part, book, tables
        ns = "{%s}" % namespace
        self.tags = {k: ns + k for k in ("row", "c", "v", "f", "is", "t", "r")}
        self.v_tag, self.f_tag, self.is_tag = self.tags["v"], self.tags["f"], self.tags["is"]
        self.previous_row = 0
        self.extent = None  # cells with a value, a formula or a style of their own
        self.watched = {}
        for table in tables:
            for position in table.watched_cells():
                self.watched[position] = Watched()
        self.formulas = set()  # (row, column) of cells with a formula, for the calculation chain
        self.arrays = []       # ranges of array formulas and data tables
        self.masters = {}      # shared formula index -> (range, cell name)
        self.children = []     # (index, row, column, line) of cells sharing a formula
        self.masters_seen = set()
        self.columns = {}  # column letters -> number, as they are met

    def add(self, line, rule, message, subject=None):
        self.result.add(self.part, line, rule, message, subject)

    def rows(self, rows):
        row_tag, c_tag = self.tags["row"], self.tags["c"]
        styles = self.book.cell_formats
        for row in rows:
            if row.tag != row_tag:
                continue
            r = row.get("r")
            number = int(r) if r and r.isdigit() else None
            if number is None:
                number = self.previous_row + 1
                if r is not None:
                    self.add(row.sourceline, "row and cell order", "row r=%r is no row number" % r)
            if not 1 <= number <= A1.MAX_ROWS or number <= self.previous_row:
                self.add(row.sourceline, "row and cell order", "row %d after row %d or off the "
                         "sheet" % (number, self.previous_row), "row %d" % number)
            self.previous_row = max(number, self.previous_row)
            s = row.get("s")
            if s is not None and row.get("customFormat") in ("1", "true") and styles is not None:
                if not s.isdigit() or int(s) >= styles:
                    self.add(row.sourceline, "style index", "row %d has style %s of %d cell "
                             "formats" % (number, s, styles), "row %d style %s" % (number, s))
            previous_column = 0
            digits = str(number)
            for c in row.iterchildren(c_tag):
                previous_column = self.cell(c, number, digits, previous_column)

    def column_of(self, letters):
        """The column of the letters of a cell reference, None when they name none."""
        column = self.columns.get(letters)
        if column is None:
            if not (1 <= len(letters) <= 3 and letters.isascii() and letters.isalpha()
                    and letters.isupper()):
                return None
            column = self.columns[letters] = A1.column_number(letters)
        return column

    def cell(self, c, row, digits, previous_column):
        tags = self.tags
        r = c.get("r")
        if r is None:
            column = previous_column + 1
            name = A1.cell_name(row, column)
        else:
            column = self.column_of(r[:-len(digits)]) if r.endswith(digits) else None
            if column is None:
                self.add(c.sourceline, "row and cell order", "cell %r in row %d" % (r, row), r)
                return previous_column
            name = r
        if column <= previous_column or column > A1.MAX_COLUMNS:
            self.add(c.sourceline, "row and cell order", "cell %s after column %d of its row"
                     % (name, previous_column), name)
        s = c.get("s")
        styled = s is not None and s != "0"
        formats = self.book.cell_formats
        if styled and formats is not None and (not s.isdigit() or int(s) >= formats):
            self.add(c.sourceline, "style index", "cell %s has style %s of %s cell formats"
                     % (name, s, self.book.cell_formats), "%s style %s" % (name, s))
        t = c.get("t") or "n"
        v = f = inline = None
        for child in c:
            tag = child.tag
            if tag == self.v_tag:
                v = child
            elif tag == self.f_tag:
                f = child
            elif tag == self.is_tag:
                inline = child
        if v is not None or inline is not None or f is not None or styled:
            e = self.extent
            if e is None:
                self.extent = [row, column, row, column]
            else:
                if row < e[0]:
                    e[0] = row
                if column < e[1]:
                    e[1] = column
                if row > e[2]:
                    e[2] = row
                if column > e[3]:
                    e[3] = column
        watched = self.watched.get((row, column)) if self.watched else None
        text = None
        if v is not None:
            value = v.text or ""
            if t == "s":
                count = self.book.shared_count
                if not value.isdigit() or (count is not None and int(value) >= count):
                    self.add(c.sourceline, "shared string index", "cell %s refers to shared "
                             "string %r of %s" % (name, value, self.book.shared_count), name)
                elif watched is not None:
                    text = self.book.shared_text(int(value))
            elif t == "n":
                try:
                    if not math.isfinite(float(value)):
                        raise ValueError
                except ValueError:
                    self.add(c.sourceline, "cell value", "cell %s: %r is no number" % (name, value),
                             name)
            elif t == "b":
                if value not in ("0", "1"):
                    self.add(c.sourceline, "cell value", "cell %s: %r is no boolean" % (name, value),
                             name)
            elif t == "e":
                if value not in ERRORS:
                    self.add(c.sourceline, "cell value", "cell %s: %r is no error value"
                             % (name, value), name)
            elif t == "d":
                if not _DATE.match(value):
                    self.add(c.sourceline, "cell value", "cell %s: %r is no date" % (name, value),
                             name)
            elif t == "inlineStr":
                self.add(c.sourceline, "cell value", "cell %s is an inline string with a value "
                         "element" % name, name)
        elif t == "s":
            self.add(c.sourceline, "cell value", "cell %s is a shared string without an index"
                     % name, name)
        if inline is not None and t != "inlineStr":
            self.add(c.sourceline, "cell value", "cell %s has an inline string but type %s"
                     % (name, t), name)
        if f is not None:
            self.formula(c, f, row, column, name)
        if watched is not None:
            watched.line = c.sourceline
            watched.formula = f is not None
            if t == "s":
                # a text beyond those kept, or of unreadable shared strings, is not judged
                watched.kind, watched.text = ("text", text) if text is not None else ("unknown", "")
            elif t == "inlineStr" and inline is not None:
                watched.kind, watched.text = "text", A1.item_text(inline, tags["t"], tags["r"])
            elif v is not None:
                watched.kind = {"str": "formula text", "b": "boolean", "e": "error"}.get(t, "number")
                watched.text = v.text or ""
        return column

    def formula(self, c, f, row, column, name):
        self.formulas.add((row, column))
        kind = f.get("t", "normal")
        if kind in ("array", "dataTable"):
            rect = A1.parse_range(f.get("ref"))
            if rect is None:
                self.add(c.sourceline, "shared formula", "cell %s: %s formula without a range"
                         % (name, kind), name)
            else:
                self.arrays.append(rect)
        elif kind == "shared":
            index = f.get("si")
            if index is None:
                self.add(c.sourceline, "shared formula", "cell %s: shared formula without si"
                         % name, name)
            elif f.get("ref") is not None:
                rect = A1.parse_range(f.get("ref"))
                if index in self.masters_seen:
                    self.add(c.sourceline, "shared formula", "cell %s: a second master of shared "
                             "formula %s" % (name, index), name)
                self.masters_seen.add(index)
                if rect is None or not (f.text or "").strip():
                    self.add(c.sourceline, "shared formula", "cell %s: master of shared formula %s "
                             "without a range or a formula" % (name, index), name)
                elif not (rect[0] <= row <= rect[2] and rect[1] <= column <= rect[3]):
                    self.add(c.sourceline, "shared formula", "cell %s: master of shared formula %s "
                             "outside its range %s" % (name, index, f.get("ref")), name)
                else:
                    self.masters[index] = rect
            else:
                self.children.append((index, row, column, c.sourceline))

    def finish(self, root):
        """The rules over the whole sheet, once every row has been seen; `root` is the sheet
        without its rows."""
        for index, row, column, line in self.children:
            rect = self.masters.get(index)
            name = A1.cell_name(row, column)
            if rect is None:
                self.add(line, "shared formula", "cell %s shares formula %s, which has no master"
                         % (name, index), name)
            elif not (rect[0] <= row <= rect[2] and rect[1] <= column <= rect[3]):
                self.add(line, "shared formula", "cell %s shares formula %s outside its range %s"
                         % (name, index, A1.range_name(rect)), name)
        self.dimension(root)
        self.merged(root)
        self.conditional_formats(root)
        for table in self.tables:
            table.check_cells(self)

    def child(self, root, name):
        for element in root:
            if isinstance(element.tag, str) and element.tag.endswith("}" + name):
                return element
        return None

    def dimension(self, root):
        element = self.child(root, "dimension")
        if element is None:
            return
        rect = A1.parse_range(element.get("ref"))
        if rect is None:
            self.add(element.sourceline, "dimension", "dimension %r is no range"
                     % element.get("ref"), "dimension")
        elif self.extent is not None:
            e = self.extent
            if e[0] < rect[0] or e[1] < rect[1] or e[2] > rect[2] or e[3] > rect[3]:
                self.add(element.sourceline, "dimension", "dimension %s does not cover the cells "
                         "in use, %s" % (element.get("ref"), A1.range_name(e)), "dimension")

    def merged(self, root):
        merges = self.child(root, "mergeCells")
        if merges is None:
            return
        taken = {}
        large = []
        for element in merges:
            if not isinstance(element.tag, str) or not element.tag.endswith("}mergeCell"):
                continue
            ref = element.get("ref")
            rect = A1.parse_range(ref)
            if rect is None or (rect[0], rect[1]) == (rect[2], rect[3]):
                self.add(element.sourceline, "merged range", "merged range %r is no range of "
                         "several cells" % ref, ref)
                continue
            area = (rect[2] - rect[0] + 1) * (rect[3] - rect[1] + 1)
            overlap = None
            for other_ref, other in large:
                if not (rect[2] < other[0] or other[2] < rect[0] or rect[3] < other[1]
                        or other[3] < rect[1]):
                    overlap = other_ref
            if area > 4096:
                for cell, other_ref in list(taken.items()):
                    if rect[0] <= cell[0] <= rect[2] and rect[1] <= cell[1] <= rect[3]:
                        overlap = other_ref
                        break
                large.append((ref, rect))
            else:
                for row in range(rect[0], rect[2] + 1):
                    for column in range(rect[1], rect[3] + 1):
                        other_ref = taken.setdefault((row, column), ref)
                        if other_ref != ref:
                            overlap = other_ref
            if overlap is not None:
                self.add(element.sourceline, "merged range", "merged range %s overlaps %s"
                         % (ref, overlap), ref)

    def conditional_formats(self, root):
        dxfs = self.book.dxf_count
        if dxfs is None:
            return
        for element in root.iter(self.tags["c"][:-1] + "cfRule"):
            dxf = element.get("dxfId")
            if dxf is not None and (not dxf.isdigit() or int(dxf) >= (dxfs or 0)):
                self.add(element.sourceline, "xf reference", "a conditional format refers to "
                         "differential format %s of %s" % (dxf, dxfs or 0), "cfRule dxf %s" % dxf)
