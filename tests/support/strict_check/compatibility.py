"""Markup Compatibility processing (ECMA-376 Part 3) of a parsed part, in place, as a consumer
that understands exactly the namespaces of the schemas does: ignorable attributes and elements
of other namespaces go (the content of ProcessContent elements stays), AlternateContent becomes
the first Choice whose namespaces are all understood, else its Fallback, else nothing; a
MustUnderstand namespace that is not understood, or an attribute of a namespace that is neither
understood nor ignorable, is a finding. What remains is what the schemas judge.

Content under an element of a namespace that is not understood (an extension list's) is that
element's own business: nothing under one is processed. The namespaces a part declares are
known before it is processed (`declared`), so that each is looked for by name: the parser's
own filters find them without visiting every node from Python."""
import re

from lxml import etree

MC = "http://schemas.openxmlformats.org/markup-compatibility/2006"
XML_NS = "http://www.w3.org/XML/1998/namespace"
_NS = {"mc": MC}
_XML_SPACE = "{%s}space" % XML_NS
_DECLARATION = re.compile(rb"""xmlns(?::[\w.-]+)?\s*=\s*(?:"([^"]*)"|'([^']*)')""")


def declarations(data):
    """The namespace URIs a part's bytes declare."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        data = data.decode("utf-16").encode("utf-8")
    return {(a or b).decode("utf-8", "replace") for a, b in _DECLARATION.findall(data)}


class DeclarationScanner:
    """A file object that notes the namespaces declared in what is read through it."""

    def __init__(self, source):
        self.source, self.found, self._tail = source, set(), b""

    def read(self, size=-1):
        data = self.source.read(size)
        if data:
            window = self._tail + data
            self.found |= declarations(window)
            self._tail = window[-512:]
        return data


def _namespace(tag):
    return tag[1:].split("}", 1)[0] if tag[:1] == "{" else None


def _prefix_namespace(element, prefix):
    return element.nsmap.get(prefix or None)


def _declared(element, attribute):
    """The namespaces named (by prefix) in an mc attribute of the element."""
    value = element.get("{%s}%s" % (MC, attribute))
    if not value:
        return set()
    return {_prefix_namespace(element, p) for p in value.split()} - {None}


class _Context:
    def __init__(self, understood):
        self.understood = understood | {MC}
        self._ignorable = {}

    def foreign(self, namespace):
        return namespace not in self.understood

    def inside_foreign(self, element):
        """Whether an ancestor is of a namespace not understood, or an extension (the ext of
        an extLst), whose content belongs to whoever understands that extension."""
        for ancestor in element.iterancestors():
            if self.foreign(_namespace(ancestor.tag)):
                return True
            if ancestor.tag.endswith("}ext"):
                parent = ancestor.getparent()
                if parent is not None and parent.tag.endswith("}extLst"):
                    return True
        return False

    def ignorable(self, element):
        """Namespaces declared ignorable on the element or its ancestors."""
        found = self._ignorable.get(element)
        if found is None:
            parent = element.getparent()
            found = (self.ignorable(parent) if parent is not None else frozenset()) | frozenset(
                _declared(element, "Ignorable"))
            self._ignorable[element] = found
        return found

    def forget(self):
        self._ignorable.clear()

    def process_content(self, element):
        """(namespace, local name or '*') pairs whose content is kept when they are ignored."""
        out = set()
        for e in [element] + list(element.iterancestors()):
            for item in (e.get("{%s}ProcessContent" % MC) or "").split():
                prefix, _, name = item.rpartition(":")
                ns = _prefix_namespace(e, prefix)
                if ns:
                    out.add((ns, name))
        return out


def _unwrap(element):
    """Puts the element's children in its place."""
    parent = element.getparent()
    index = parent.index(element)
    children = list(element)
    for offset, child in enumerate(children):
        parent.insert(index + offset, child)
    tail = element.tail
    parent.remove(element)
    if tail and children:
        children[-1].tail = (children[-1].tail or "") + tail


def _select_alternate(alternate, context, findings):
    chosen = None
    for branch in alternate:
        if not isinstance(branch.tag, str):
            continue
        name = etree.QName(branch)
        if name.namespace != MC:
            findings.append((alternate.sourceline, "AlternateContent holds a %s element"
                             % name.localname))
            continue
        if name.localname == "Choice":
            requires = branch.get("Requires", "").split()
            namespaces = [_prefix_namespace(branch, p) for p in requires]
            if not requires or None in namespaces:
                findings.append((branch.sourceline, "a Choice requires an undeclared prefix"))
                continue
            if chosen is None and not any(context.foreign(ns) for ns in namespaces):
                chosen = branch
        elif name.localname == "Fallback" and chosen is None:
            chosen = branch
    if chosen is not None:
        # The chosen branch's own mc attributes reach its children.
        for key in ("Ignorable", "ProcessContent", "MustUnderstand"):
            value = chosen.get("{%s}%s" % (MC, key))
            if value:
                for child in chosen:
                    if isinstance(child.tag, str):
                        child.set("{%s}%s" % (MC, key), value)
    for branch in list(alternate):
        if branch is not chosen:
            alternate.remove(branch)
    if chosen is not None:
        _unwrap(chosen)
    _unwrap(alternate)


def process(root, understood, declared):
    """Processes the tree under `root` in place, `declared` being the namespaces the part
    declares; returns findings as (line, message)."""
    findings = []
    context = _Context(set(understood))
    foreign = sorted(ns for ns in declared if context.foreign(ns))
    # Every attribute in a namespace, in one pass of the parser's own: mc, xml, foreign.
    qualified = root.xpath("//@*[namespace-uri() != '']")
    mc_attributes = [a for a in qualified if a.attrname.startswith("{%s}" % MC)]
    for value in mc_attributes:
        element = value.getparent()
        if value.attrname.endswith("}MustUnderstand") and not context.inside_foreign(element):
            for ns in _declared(element, "MustUnderstand"):
                if context.foreign(ns):
                    findings.append((element.sourceline,
                                     "MustUnderstand names %s, which is not understood" % ns))
    if MC in declared:
        # AlternateContent, outermost first; a chosen branch may hold more.
        tag = "{%s}AlternateContent" % MC
        while True:
            outermost = [a for a in root.iter(tag)
                         if not any(x.tag == tag for x in a.iterancestors())
                         and not context.inside_foreign(a)]
            if not outermost:
                break
            for alternate in outermost:
                if alternate.getparent() is None:
                    findings.append((alternate.sourceline, "the root is AlternateContent"))
                    return findings
                _select_alternate(alternate, context, findings)
    # Elements of namespaces not understood, outermost first.
    for ns in foreign:
        for element in list(root.iter("{%s}*" % ns)):
            if element is root or element.getparent() is None or context.inside_foreign(element):
                continue
            if ns in context.ignorable(element):
                keep = context.process_content(element)
                if (ns, etree.QName(element).localname) in keep or (ns, "*") in keep:
                    _unwrap(element)
                else:
                    element.getparent().remove(element)
            # Otherwise the schema decides: an extension list may hold it, nothing else can.
    context.forget()
    for value in qualified:
        owner, name = value.getparent(), value.attrname
        ns = _namespace(name)
        if ns == MC or not (context.foreign(ns) or ns == XML_NS) or name not in owner.attrib:
            continue
        if context.inside_foreign(owner) or _detached(owner, root):
            continue
        if ns == XML_NS:
            # xml:space and xml:lang belong to XML itself, which every reader processes; the
            # schemas declare them on few elements (none on a text's t), so only their values
            # are judged here.
            if name == _XML_SPACE and str(value) not in ("default", "preserve"):
                findings.append((owner.sourceline, "xml:space=%r" % str(value)))
        elif ns not in context.ignorable(owner):
            findings.append((owner.sourceline, "attribute %s of %s is in %s, which is neither "
                             "understood nor ignorable"
                             % (etree.QName(name).localname, etree.QName(owner).localname, ns)))
        del owner.attrib[name]
    for value in mc_attributes:
        owner = value.getparent()
        if value.attrname in owner.attrib and not context.inside_foreign(owner):
            del owner.attrib[value.attrname]
    return findings


def _detached(element, root):
    """Whether the element left the tree while it was processed (an ignored element's)."""
    while element is not None and element is not root:
        element = element.getparent()
    return element is None
