"""Rules of the package itself: every part has a content type that fits how it is used,
relationships point at parts that exist, and every relationship id a part uses is one of its
own relationships."""
import posixpath

from .package import CONTENT_TYPES, rels_part_of, source_of_rels

_SML = "application/vnd.openxmlformats-officedocument.spreadsheetml."
_RELS = "application/vnd.openxmlformats-package.relationships+xml"
# The content type a relationship's target has, by the relationship type's last segment.
EXPECTED = {
    "worksheet": _SML + "worksheet+xml", "chartsheet": _SML + "chartsheet+xml",
    "dialogsheet": _SML + "dialogsheet+xml", "styles": _SML + "styles+xml",
    "sharedStrings": _SML + "sharedStrings+xml", "table": _SML + "table+xml",
    "comments": _SML + "comments+xml", "calcChain": _SML + "calcChain+xml",
    "pivotTable": _SML + "pivotTable+xml", "pivotCacheDefinition": _SML + "pivotCacheDefinition+xml",
    "pivotCacheRecords": _SML + "pivotCacheRecords+xml", "queryTable": _SML + "queryTable+xml",
    "externalLink": _SML + "externalLink+xml",
    "theme": "application/vnd.openxmlformats-officedocument.theme+xml",
    "drawing": "application/vnd.openxmlformats-officedocument.drawing+xml",
    "vmlDrawing": "application/vnd.openxmlformats-officedocument.vmlDrawing",
    "chart": "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
    "core-properties": "application/vnd.openxmlformats-package.core-properties+xml",
    "extended-properties": "application/vnd.openxmlformats-officedocument.extended-properties+xml",
    "custom-properties": "application/vnd.openxmlformats-officedocument.custom-properties+xml",
}
RELATIONSHIP_NAMESPACES = ("http://schemas.openxmlformats.org/officeDocument/2006/relationships",
                           "http://purl.oclc.org/ooxml/officeDocument/relationships")


def _fits(kind, content_type):
    if kind == "image":
        return content_type.startswith("image/")
    if kind == "officeDocument":
        return content_type.endswith("main+xml")
    expected = EXPECTED.get(kind)
    return expected is None or content_type == expected


def check_content_types(result, package):
    seen = set()
    for line, kind, key in package.content_type_lines:
        if (kind, key) in seen:
            result.add(CONTENT_TYPES, line, "content type", "a second %s for %s" % (kind, key),
                       "%s %s twice" % (kind, key))
        seen.add((kind, key))
        if kind == "Override" and not package.exists(key):
            result.add(CONTENT_TYPES, line, "content type", "an Override for /%s, which the "
                       "package does not hold" % key, "override of missing %s" % key)
    for part in package.entries:
        if part == CONTENT_TYPES:
            continue
        if not package.content_type(part):
            result.add(CONTENT_TYPES, 0, "content type", "part /%s has no content type (no "
                       "Override, no Default for its extension)" % part, "none for %s" % part)
        elif part.endswith(".rels") and package.content_type(part) != _RELS:
            result.add(CONTENT_TYPES, 0, "content type", "relationships part /%s has type %s"
                       % (part, package.content_type(part)), "type of %s" % part)


def check_relationships(result, package, rels_part):
    """The relationships part's entries: ids unique, internal targets present and of the
    content type their relationship expects."""
    source = source_of_rels(rels_part) if rels_part != "_rels/.rels" else ""
    if source and not package.exists(source):
        result.add(rels_part, 1, "relationship target", "relationships of /%s, which the "
                   "package does not hold" % source, "orphan")
    ids = set()
    for r in package.relationships(source):
        if r.id in ids:
            result.add(rels_part, r.line, "relationship target", "id %s twice" % r.id,
                       "id %s twice" % r.id)
        ids.add(r.id)
        if r.external:
            continue
        if r.part is None or not package.exists(r.part):
            result.add(rels_part, r.line, "relationship target", "%s (%s) names %s, which the "
                       "package does not hold" % (r.id, r.kind, r.target), "target %s" % r.target)
            continue
        content_type = package.content_type(r.part)
        if content_type and not _fits(r.kind, content_type):
            result.add(rels_part, r.line, "content type", "%s (%s) names /%s of type %s"
                       % (r.id, r.kind, r.part, content_type), "type of %s" % r.part)


def check_relationship_ids(result, package, part, root):
    """Every relationship id an attribute of the part names is one of the part's own."""
    ids = {r.id for r in package.relationships(part)}
    for ns in RELATIONSHIP_NAMESPACES:
        for value in root.xpath("//@*[namespace-uri() = $ns]", ns=ns):
            if value not in ids:
                owner = value.getparent()
                result.add(part, owner.sourceline, "relationship id", "%s/@r:%s = %r is none of "
                           "the part's relationships (%s)" % (
                               owner.tag.rsplit("}", 1)[-1], value.attrname.rsplit("}", 1)[-1],
                               str(value), posixpath.basename(rels_part_of(part))),
                           "%s %s" % (owner.tag.rsplit("}", 1)[-1], value))
