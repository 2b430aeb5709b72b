"""Table parts: a table describes cells of its sheet a second time. Its header row shows each
column's name (as a text, the names unique within the table ignoring case); a totals row shows
each column's label, function or formula."""
from . import cells as A1


class Table:
    def __init__(self, result, part, root):
        self.result, self.part = result, part
        self.line = root.sourceline
        self.name = root.get("displayName") or root.get("name") or ""
        self.id = root.get("id")
        self.rect = A1.parse_range(root.get("ref"))
        self.header_rows = int(root.get("headerRowCount", "1") or "1")
        self.totals_rows = int(root.get("totalsRowCount", "0") or "0")
        self.columns = []
        self.filter = None
        for element in root:
            if not isinstance(element.tag, str):
                continue
            local = element.tag.rsplit("}", 1)[-1]
            if local == "tableColumns":
                self.columns = [c for c in element if isinstance(c.tag, str)
                                and c.tag.endswith("}tableColumn")]
            elif local == "autoFilter":
                self.filter = element
        self.check_itself()

    def add(self, line, rule, message, subject):
        self.result.add(self.part, line, rule, message, subject)

    def check_itself(self):
        if self.rect is None:
            self.add(self.line, "table", "table %s: ref is no range" % self.name, "ref")
            return
        width = self.rect[3] - self.rect[1] + 1
        if len(self.columns) != width:
            self.add(self.line, "table", "table %s: %d columns for a range %d wide"
                     % (self.name, len(self.columns), width), "columns")
        seen = {}
        for column in self.columns:
            name = A1.decode(column.get("name"))
            if not name:
                self.add(column.sourceline, "table header", "table %s: a column without a name"
                         % self.name, "empty name")
            elif name.lower() in seen:
                self.add(column.sourceline, "table header", "table %s: column name %r twice "
                         "(ignoring case)" % (self.name, name), "name %s" % name.lower())
            seen[name.lower()] = True
        if self.filter is not None:
            ref = A1.parse_range(self.filter.get("ref"))
            body_bottom = self.rect[2] - self.totals_rows
            if ref is None or ref[0] < self.rect[0] or ref[1] < self.rect[1] or \
                    ref[2] > body_bottom or ref[3] > self.rect[3]:
                self.add(self.filter.sourceline, "table", "table %s: its filter range %s lies "
                         "outside the table's rows" % (self.name, self.filter.get("ref")),
                         "filter")

    def watched_cells(self):
        if self.rect is None:
            return []
        top, left, bottom, right = self.rect
        out = []
        for i in range(min(len(self.columns), right - left + 1)):
            if self.header_rows > 0:
                out.append((top, left + i))
            if self.totals_rows > 0:
                out.append((bottom, left + i))
        return out

    def check_cells(self, sheet):
        """Against the cells `sheet` (a SheetCheck) watched for this table."""
        if self.rect is None:
            return
        top, left, bottom, right = self.rect
        for i, column in enumerate(self.columns[:right - left + 1]):
            name = A1.decode(column.get("name"))
            if self.header_rows > 0:
                cell = sheet.watched[(top, left + i)]
                where = A1.cell_name(top, left + i)
                if cell.kind == "unknown":
                    pass
                elif cell.kind == "empty":
                    self.add(column.sourceline, "table header", "table %s: header cell %s is "
                              "empty, its column is named %r" % (self.name, where, name), where)
                elif cell.kind != "text":
                    self.add(column.sourceline, "table header", "table %s: header cell %s holds a %s "
                              "(%r), not the text of its column %r"
                              % (self.name, where, cell.kind, cell.text, name), where)
                elif A1.decode(cell.text) != name:
                    self.add(column.sourceline, "table header", "table %s: header cell %s shows %r, "
                              "its column is named %r" % (self.name, where, cell.text, name), where)
            if self.totals_rows > 0:
                self.check_totals(sheet, column, A1.cell_name(bottom, left + i),
                                  sheet.watched[(bottom, left + i)])

    def check_totals(self, sheet, column, where, cell):
        if cell.kind == "unknown":
            return
        function = column.get("totalsRowFunction", "none")
        label = column.get("totalsRowLabel")
        if function != "none":
            if not cell.formula:
                self.add(column.sourceline, "table totals row",
                          "table %s: totals cell %s holds no formula, its column's function is %s"
                          % (self.name, where, function), where)
        elif label is not None and (cell.kind != "text" or A1.decode(cell.text) !=
                                    A1.decode(label)):
            self.add(column.sourceline, "table totals row",
                      "table %s: totals cell %s shows %r, its column's label is %r"
                      % (self.name, where, cell.text, label), where)
