"""Parts that may be very large (a sheet's rows, the shared strings' items) are read as a
stream: their items go in batches into small documents under a copy of the root, which are
processed, validated and checked one after another, so that a million rows never stand in
memory at once. Everything else of the part stays in the streamed tree and is validated whole
at the end. The parser hands over only the items' ends; nothing else of the part passes
through Python while it is read."""
from lxml import etree

from . import compatibility

MC = compatibility.MC
BATCH = 4000


class Streamed:
    def __init__(self):
        self.root = None   # the part without its items, once the stream has ended
        self.items = 0
        self.declared = set()


def stream(source, container, item, on_batch, parse_error):
    """Reads the part from the file object `source`. Items are the `item` elements (local name)
    that are children of the root's `container` child ("" for the root itself); each batch is
    handed to `on_batch(document_root, items, declared)`. A part that is no well-formed XML
    calls `parse_error(line, message)` and returns None."""
    out = Streamed()
    scanner = compatibility.DeclarationScanner(source)
    pending = []
    holder = []

    def flush():
        root = out.root
        top = etree.Element(root.tag, nsmap=root.nsmap,
                            attrib={k: v for k, v in root.attrib.items()
                                    if k.startswith("{%s}" % MC)})
        parent = top if holder[0] is root else etree.SubElement(top, holder[0].tag,
                                                                nsmap=holder[0].nsmap)
        for element in pending:
            parent.append(element)
        on_batch(top, list(pending), scanner.found)
        pending.clear()

    events = etree.iterparse(scanner, events=("end",), tag="{*}" + item, huge_tree=True,
                             resolve_entities=False, no_network=True)
    try:
        for _, element in events:
            parent = element.getparent()
            if out.root is None:
                out.root = element.getroottree().getroot()
                if out.root.getroottree().docinfo.doctype:
                    parse_error(1, "the part has a DOCTYPE")
                    return None
            if parent is None or etree.QName(parent).localname != (
                    container or etree.QName(out.root).localname) or (
                    container and parent.getparent() is not out.root) or (
                    not container and parent is not out.root):
                continue
            if not holder:
                holder.append(parent)
            parent.remove(element)
            pending.append(element)
            out.items += 1
            if len(pending) >= BATCH:
                flush()
        if pending:
            flush()
        out.root = events.root
    except etree.XMLSyntaxError as e:
        parse_error(e.lineno, e.msg)
        return None
    out.declared = scanner.found
    return out
