"""The record layouts of include/qx/host_records.h for the scripts that play the host, read from
the header itself: its X-macro lists are the one place where an offset is written.

    records = load()                      # this interpreter's address width
    row = records["RESULT_ROW"]
    row.put_text(buffer, "column_spec", b"ae")
    row.next.offset, row.size
"""

import os
import re
import struct

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir,
                      "include", "qx", "host_records.h")

_INT32 = struct.Struct("<i")
_DOUBLE = struct.Struct("<d")


class Field:
    def __init__(self, name, offset, width, kind):
        self.name, self.offset, self.width, self.kind = name, offset, width, kind

    @property
    def end(self):
        return self.offset + self.width


class Record:
    """One record's size and fields; a field is also an attribute (record.column_spec)."""

    def __init__(self, name, size, fields):
        self.name, self.size, self.fields = name, size, fields

    def __getattr__(self, name):
        try:
            return self.__dict__["fields"][name]
        except KeyError:
            raise AttributeError("%s has no field %s" % (self.__dict__["name"], name)) from None

    def put_int32(self, buffer, name, value):
        _INT32.pack_into(buffer, self._field(name, "INT32").offset, value)

    def int32(self, buffer, name):
        return _INT32.unpack_from(buffer, self._field(name, "INT32").offset)[0]

    def put_double(self, buffer, name, value):
        _DOUBLE.pack_into(buffer, self._field(name, "DOUBLE").offset, value)

    def put_address(self, buffer, name, address):
        field = self._field(name, "ADDRESS")
        buffer[field.offset:field.end] = address.to_bytes(field.width, "little")

    def put_text(self, buffer, name, data, terminate=True):
        """The bytes and, when `terminate`, a NUL after them, which must fit the slot."""
        field = self._field(name, "TEXT")
        data = bytes(data) + (b"\0" if terminate else b"")
        if len(data) > field.width:
            raise ValueError("%d bytes do not fit %s.%s (%d)" % (len(data), self.name, name,
                                                                 field.width))
        buffer[field.offset:field.offset + len(data)] = data

    def _field(self, name, kind):
        field = self.fields[name]
        if field.kind != kind:
            raise TypeError("%s.%s is %s, not %s" % (self.name, name, field.kind, kind))
        return field


def _macro_bodies(text):
    """Every #define with its continuation lines joined: {name: (parameters, body)}."""
    macros = {}
    pattern = re.compile(r"^#define (\w+)(\([^)]*\))?[ \t]*((?:.*\\\n)*.*)$", re.MULTILINE)
    for match in pattern.finditer(text):
        macros[match.group(1)] = (match.group(2) or "", match.group(3).replace("\\\n", " "))
    return macros


def _enclosed(expression):
    """Whether one pair of parentheses holds the whole expression."""
    if not (expression.startswith("(") and expression.endswith(")")):
        return False
    depth = 0
    for i, c in enumerate(expression):
        depth += {"(": 1, ")": -1}.get(c, 0)
        if depth == 0 and i < len(expression) - 1:
            return False
    return True


def _evaluate(expression, names):
    """An offset or size: numbers, names, '+' and the 'width == 4 ? a : b' choice."""
    expression = expression.strip()
    while _enclosed(expression):
        expression = expression[1:-1].strip()
    choice = re.fullmatch(r"\(?(\w+)\)?\s*==\s*(\d+)\s*\?\s*(\w+)\s*:\s*(\w+)", expression)
    if choice:
        test, value, yes, no = choice.groups()
        return _evaluate(yes if _evaluate(test, names) == int(value) else no, names)
    call = re.fullmatch(r"(\w+)\((.*)\)", expression)
    if call:
        name, argument = call.groups()
        parameters, body = names["#macros"][name]
        parameter = parameters.strip("()").strip()
        inner = dict(names, **{parameter: _evaluate(argument, names)})
        return _evaluate(body, inner)
    if "+" in expression:
        return sum(_evaluate(part, names) for part in expression.split("+"))
    if expression.isdigit():
        return int(expression)
    if expression in names:
        return names[expression]
    parameters, body = names["#macros"][expression]
    return _evaluate(body, names)


def load(address_width=struct.calcsize("P"), header=HEADER):
    """Every record of the header by its name without QX_ ("GROUP_TABLE_ROW"), laid out for
    addresses of `address_width` bytes."""
    with open(header, encoding="utf-8") as source:
        macros = _macro_bodies(source.read())
    names = {"#macros": macros, "QX_ADDRESS_WIDTH": address_width, "width": address_width}
    records = {}
    for macro, (parameters, body) in macros.items():
        match = re.fullmatch(r"QX_(\w+)_FIELDS(_OF_WIDTH)?", macro)
        entries = re.findall(r"X\(\s*(\w+),([^,]+),([^,]+),\s*(\w+)\)", body)
        if not match or not entries:
            continue
        name = match.group(1)
        fields = {}
        for field, offset, width, kind in entries:
            fields[field] = Field(field, _evaluate(offset, names), _evaluate(width, names), kind)
        size = _evaluate("QX_%s_SIZE" % name, names)
        records[name] = Record(name, size, fields)
    if len(records) != 9:
        raise ValueError("%s: found the records %s" % (header, sorted(records)))
    return records
