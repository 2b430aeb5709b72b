"""A saved package as the checks see it: its parts by name, the content type of each, and every
relationships part parsed."""
import posixpath
import zipfile
from urllib.parse import unquote

from lxml import etree

CONTENT_TYPES = "[Content_Types].xml"
RELATIONSHIPS_NS = "http://schemas.openxmlformats.org/package/2006/relationships"
CONTENT_TYPES_NS = "http://schemas.openxmlformats.org/package/2006/content-types"


def parser():
    return etree.XMLParser(resolve_entities=False, no_network=True, huge_tree=True,
                           remove_blank_text=False)


def extension_of(part):
    """"xl/media/image1.PNG" -> "png"; "_rels/.rels" -> "rels"."""
    name = posixpath.basename(part)
    return name.rsplit(".", 1)[1].lower() if "." in name else ""


def rels_part_of(part):
    folder, name = posixpath.split(part)
    return posixpath.join(folder, "_rels", name + ".rels")


def source_of_rels(rels_part):
    """"xl/_rels/workbook.xml.rels" -> "xl/workbook.xml"; "_rels/.rels" -> ""."""
    folder, name = posixpath.split(rels_part)
    return posixpath.join(posixpath.dirname(folder), name[:-len(".rels")]).lstrip("/")


def resolve(source, target):
    """The part a relative (or absolute) target names from the source part; None when it
    climbs out of the package."""
    if target.startswith("#"):
        return source  # a place in the source part itself
    target = unquote(target.split("#")[0])
    if target.startswith("/"):
        path = target
    else:
        path = posixpath.join("/" + posixpath.dirname(source), target)
    depth = 0
    for segment in path.split("/"):
        if segment == "..":
            depth -= 1
            if depth < 0:
                return None
        elif segment not in ("", "."):
            depth += 1
    return posixpath.normpath(path).lstrip("/")


class Relationship:
    __slots__ = ("id", "type", "target", "external", "part", "line")

    def __init__(self, element, source):
        self.id = element.get("Id")
        self.type = element.get("Type", "")
        self.target = element.get("Target", "")
        self.external = element.get("TargetMode") == "External"
        self.part = None if self.external else resolve(source, self.target)
        self.line = element.sourceline

    @property
    def kind(self):
        return self.type.rsplit("/", 1)[-1]


class Package:
    def __init__(self, path):
        self.path = path
        self.zip = zipfile.ZipFile(path)
        self.entries = {}
        for info in self.zip.infolist():
            if not info.filename.endswith("/"):
                self.entries.setdefault(info.filename.replace("\\", "/").lstrip("/"), info)
        self._lower = {name.lower(): name for name in self.entries}
        self.defaults, self.overrides = {}, {}
        self.content_type_lines = []  # (line, kind, key) for the checks of the part itself
        self._relationships = {}

    def close(self):
        self.zip.close()

    def exists(self, part):
        return part is not None and part.lower() in self._lower

    def name(self, part):
        return self._lower.get(part.lower())

    def read(self, part):
        return self.zip.read(self.entries[self.name(part)])

    def open(self, part):
        return self.zip.open(self.entries[self.name(part)])

    def size(self, part):
        return self.entries[self.name(part)].file_size

    def load_content_types(self, root):
        for element in root:
            if not isinstance(element.tag, str):
                continue
            local = etree.QName(element).localname
            if local == "Default":
                key = element.get("Extension", "").lower()
                self.content_type_lines.append((element.sourceline, "Default", key))
                self.defaults.setdefault(key, element.get("ContentType", ""))
            elif local == "Override":
                key = element.get("PartName", "").lstrip("/").lower()
                self.content_type_lines.append((element.sourceline, "Override", key))
                self.overrides.setdefault(key, element.get("ContentType", ""))

    def content_type(self, part):
        found = self.overrides.get(part.lower())
        if found is not None:
            return found
        extension = extension_of(part)
        return self.defaults.get(extension, "") if extension else ""

    def relationships(self, source):
        """The relationships of `source` ("" for the package), [] when it has none; a
        relationships part that is no XML reads as none (the well-formedness check says so)."""
        if source not in self._relationships:
            found = []
            rels = rels_part_of(source) if source else "_rels/.rels"
            if self.exists(rels):
                try:
                    root = etree.fromstring(self.read(rels), parser())
                    found = [Relationship(e, source) for e in root
                             if isinstance(e.tag, str) and etree.QName(e).localname == "Relationship"]
                except etree.XMLSyntaxError:
                    pass
            self._relationships[source] = found
        return self._relationships[source]

    def related(self, source, kind):
        """Internal parts that `source` relates to by a relationship type ending in /kind."""
        return [r.part for r in self.relationships(source)
                if r.kind == kind and r.part and self.exists(r.part)]
