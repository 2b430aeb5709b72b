"""A1 references and the texts cells hold, as SpreadsheetML writes them."""
import re

MAX_ROWS, MAX_COLUMNS = 1048576, 16384
_CELL = re.compile(r"^\$?([A-Za-z]{1,3})\$?([0-9]{1,7})$")
_ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def column_number(letters):
    n = 0
    for ch in letters.upper():
        n = n * 26 + ord(ch) - 64
    return n


def column_letters(n):
    out = ""
    while n:
        n, rest = divmod(n - 1, 26)
        out = chr(65 + rest) + out
    return out


def cell_name(row, column):
    return "%s%d" % (column_letters(column), row)


def parse_cell(text):
    """(row, column) of "B7" or "$B$7"; None when it is no cell of the sheet."""
    m = _CELL.match(text or "")
    if not m:
        return None
    row, column = int(m.group(2)), column_number(m.group(1))
    if not (1 <= row <= MAX_ROWS and 1 <= column <= MAX_COLUMNS):
        return None
    return row, column


def parse_range(text):
    """(top, left, bottom, right) of "A1:C3" or "B2"; None when it is no range of the sheet."""
    first, _, second = (text or "").partition(":")
    a = parse_cell(first)
    b = parse_cell(second) if second else a
    if a is None or b is None:
        return None
    return min(a[0], b[0]), min(a[1], b[1]), max(a[0], b[0]), max(a[1], b[1])


def range_name(rect):
    top, left, bottom, right = rect
    first = cell_name(top, left)
    return first if (top, left) == (bottom, right) else first + ":" + cell_name(bottom, right)


def decode(text):
    """A text with its _xHHHH_ escapes undone (_x005F_ keeps the underscore that follows)."""
    return _ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text or "")


def item_text(element, t_tag, r_tag):
    """The plain text of a string item (<si>, <is>): its t and its runs' t, phonetic runs
    left out."""
    out = []
    for child in element:
        if child.tag == t_tag:
            out.append(child.text or "")
        elif child.tag == r_tag:
            for t in child:
                if t.tag == t_tag:
                    out.append(t.text or "")
    return "".join(out)
