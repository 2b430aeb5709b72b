"""Rules over single parts that no schema states: list counts, format references of the
styles, the workbook's sheets and names, drawing anchors and shape ids, the calculation
chain."""
from . import cells as A1

BUILT_IN_FORMATS = 164  # ids below are the application's own; custom ones must be declared


def local(element):
    return element.tag.rsplit("}", 1)[-1] if isinstance(element.tag, str) else ""


def children(element, name=None):
    return [c for c in element if isinstance(c.tag, str) and (name is None or local(c) == name)]


def child(element, name):
    for c in element:
        if isinstance(c.tag, str) and local(c) == name:
            return c
    return None


# count attributes that say something else than how many children their element has
_OTHER_COUNTS = {"sst"}


def check_counts(result, part, root, main_namespaces):
    """Every SpreadsheetML element with a count attribute has that many children (an extension
    list aside)."""
    for element in root.iter():
        count = element.get("count") if isinstance(element.tag, str) else None
        if count is None or local(element) in _OTHER_COUNTS:
            continue
        if element.tag[1:].split("}")[0] not in main_namespaces:
            continue
        items = [c for c in children(element) if local(c) != "extLst"]
        if not count.isdigit() or int(count) != len(items):
            result.add(part, element.sourceline, "count attribute", "%s count=%s, %d items"
                       % (local(element), count, len(items)), "%s count" % local(element))


class Styles:
    """The counts other parts' indexes are held to."""

    def __init__(self, root):
        self.lists = {}
        for name, item in (("fonts", "font"), ("fills", "fill"), ("borders", "border"),
                           ("cellStyleXfs", "xf"), ("cellXfs", "xf"), ("dxfs", "dxf"),
                           ("cellStyles", "cellStyle")):
            element = child(root, name)
            self.lists[name] = children(element, item) if element is not None else []
        formats = child(root, "numFmts")
        self.formats = {f.get("numFmtId") for f in children(formats, "numFmt")} \
            if formats is not None else set()

    def check(self, result, part):
        sizes = {k: len(v) for k, v in self.lists.items()}
        for list_name, references in (("cellXfs", ("font", "fill", "border", "xf")),
                                      ("cellStyleXfs", ("font", "fill", "border"))):
            for i, xf in enumerate(self.lists[list_name]):
                for kind in references:
                    target = {"font": "fonts", "fill": "fills", "border": "borders",
                              "xf": "cellStyleXfs"}[kind]
                    value = xf.get(kind + "Id")
                    if value is None:
                        continue
                    if not value.isdigit() or int(value) >= sizes[target]:
                        result.add(part, xf.sourceline, "xf reference", "%s %d: %sId %s of %d %s"
                                   % (list_name, i, kind, value, sizes[target], target),
                                   "%s %d %sId" % (list_name, i, kind))
                number_format = xf.get("numFmtId")
                if number_format is not None and (
                        not number_format.isdigit() or
                        (int(number_format) >= BUILT_IN_FORMATS and
                         number_format not in self.formats)):
                    result.add(part, xf.sourceline, "xf reference", "%s %d: number format %s is "
                               "not declared" % (list_name, i, number_format),
                               "%s %d numFmtId" % (list_name, i))
        for style in self.lists["cellStyles"]:
            value = style.get("xfId")
            if value is not None and (not value.isdigit() or
                                      int(value) >= sizes["cellStyleXfs"]):
                result.add(part, style.sourceline, "xf reference", "cell style %r: xfId %s of %d"
                           % (style.get("name"), value, sizes["cellStyleXfs"]),
                           "cellStyle %s" % style.get("name"))


def check_workbook(result, part, root):
    """Sheet names and ids unique; defined names unique in their scope."""
    sheets = children(child(root, "sheets")) if child(root, "sheets") is not None else []
    names, ids = set(), set()
    for sheet in sheets:
        name, sheet_id = (sheet.get("name") or "").lower(), sheet.get("sheetId")
        if name in names:
            result.add(part, sheet.sourceline, "workbook", "sheet name %r twice" % name,
                       "sheet %s" % name)
        if sheet_id in ids:
            result.add(part, sheet.sourceline, "workbook", "sheetId %s twice" % sheet_id,
                       "sheetId %s" % sheet_id)
        names.add(name)
        ids.add(sheet_id)
    defined = child(root, "definedNames")
    seen = set()
    for name in children(defined, "definedName") if defined is not None else []:
        scope = name.get("localSheetId")
        if scope is not None and (not scope.isdigit() or int(scope) >= len(sheets)):
            result.add(part, name.sourceline, "workbook", "defined name %r for sheet %s of %d"
                       % (name.get("name"), scope, len(sheets)), "name %s" % name.get("name"))
        key = ((name.get("name") or "").lower(), scope)
        if key in seen:
            result.add(part, name.sourceline, "workbook", "defined name %r twice in one scope"
                       % name.get("name"), "name %s %s" % key)
        seen.add(key)


def _marker(element):
    values = {}
    for name in ("col", "colOff", "row", "rowOff"):
        c = child(element, name)
        try:
            values[name] = int((c.text or "").strip()) if c is not None else None
        except ValueError:
            values[name] = None
    return values


def check_drawing(result, part, root):
    """Anchors lie on the sheet and end after they begin; shape ids are unique in the part."""
    for n, anchor in enumerate(children(root)):
        kind = local(anchor)
        if kind not in ("twoCellAnchor", "oneCellAnchor", "absoluteAnchor"):
            continue
        corners = [(name, _marker(c)) for name in ("from", "to")
                   for c in [child(anchor, name)] if c is not None]
        subject = "anchor %d" % n
        for name, m in corners:
            if None in m.values() or not (0 <= m["col"] < A1.MAX_COLUMNS and
                                          0 <= m["row"] < A1.MAX_ROWS) or \
                    m["colOff"] < 0 or m["rowOff"] < 0:
                result.add(part, anchor.sourceline, "drawing anchor", "%s %d: its %s corner %s "
                           "is off the sheet" % (kind, n, name, m), subject)
        if len(corners) == 2 and None not in corners[0][1].values() and \
                None not in corners[1][1].values():
            a, b = corners[0][1], corners[1][1]
            if (b["col"], b["colOff"]) < (a["col"], a["colOff"]) or \
                    (b["row"], b["rowOff"]) < (a["row"], a["rowOff"]):
                result.add(part, anchor.sourceline, "drawing anchor", "%s %d ends before it "
                           "begins (%s to %s)" % (kind, n, a, b), subject)
    check_shape_ids(result, part, root)


def check_shape_ids(result, part, root):
    seen = {}
    for element in root.iter("{*}cNvPr"):
        shape_id = element.get("id")
        if shape_id in seen:
            result.add(part, element.sourceline, "shape id", "shape id %s of %r was given to %r "
                       "before" % (shape_id, element.get("name"), seen[shape_id]),
                       "id %s" % shape_id)
        seen.setdefault(shape_id, element.get("name"))


def check_calculation_chain(result, part, root, formulas_by_sheet_id):
    """Every cell the chain names holds a formula (or lies in an array formula's range)."""
    sheet = None
    for entry in children(root, "c"):
        sheet = entry.get("i") or sheet
        at = A1.parse_cell(entry.get("r"))
        where = "%s!%s" % (sheet, entry.get("r"))
        found = formulas_by_sheet_id.get(sheet)
        if at is None or found is None:
            result.add(part, entry.sourceline, "calcChain", "entry %s names no cell of a "
                       "worksheet" % where, where)
            continue
        cells, arrays = found
        if at not in cells and not any(r[0] <= at[0] <= r[2] and r[1] <= at[1] <= r[3]
                                       for r in arrays):
            result.add(part, entry.sourceline, "calcChain", "entry %s: the cell holds no "
                       "formula" % where, where)
