"""The published ECMA-376 schemas, compiled once per process: Transitional with the packaging
(OPC) and Dublin Core schemas, and Strict, each as one schema that imports every file of its
folder, so that a part is validated against whichever global element its root is."""
import os
import re

from lxml import etree

XML_NS = "http://www.w3.org/XML/1998/namespace"
XSD_NS = "http://www.w3.org/2001/XMLSchema"
XSI_NS = "http://www.w3.org/2001/XMLSchema-instance"
CHECKOUT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))))


class SchemaFolderMissing(Exception):
    pass


def schema_folder():
    """$QX_SCHEMA_DIR, else ../shared/ooxml-schemas beside the checkout (as the corpus)."""
    chosen = os.environ.get("QX_SCHEMA_DIR")
    folder = chosen or os.path.join(os.path.dirname(CHECKOUT), "shared", "ooxml-schemas")
    if not os.path.isfile(os.path.join(folder, "sml.xsd")):
        raise SchemaFolderMissing(
            "the schema folder %s is missing or has no sml.xsd (set QX_SCHEMA_DIR to where "
            "the ECMA-376 schemas are)" % folder)
    return folder


class _LocalFiles(etree.Resolver):
    """Imports name their schemas by web addresses or relative paths: each is the file of that
    name in the schema folder (or the folder above it, for the Strict set's shared imports).
    Nothing is ever fetched."""

    def __init__(self, folders):
        super().__init__()
        self.folders = folders

    def resolve(self, url, pubid, context):
        name = os.path.basename(url.split("?")[0])
        for folder in self.folders:
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                return self.resolve_filename(path, context)
        raise etree.XMLSchemaParseError("no local copy of the schema %s" % url)


def _target_namespace(path):
    with open(path, "rb") as f:
        head = f.read(4096)
    m = re.search(rb'targetNamespace="([^"]*)"', head)
    return m.group(1).decode() if m else None


def _compile(folder, fallback_folders):
    files = sorted(f for f in os.listdir(folder) if f.endswith(".xsd"))
    by_namespace = {}
    for name in files:
        ns = _target_namespace(os.path.join(folder, name))
        if ns and ns not in by_namespace:
            by_namespace[ns] = os.path.join(folder, name)
    imports = "".join('<xs:import namespace="%s" schemaLocation="%s"/>' % (ns, os.path.basename(p))
                      for ns, p in sorted(by_namespace.items()))
    wrapper = '<xs:schema xmlns:xs="%s">%s</xs:schema>' % (XSD_NS, imports)
    parser = etree.XMLParser(no_network=True, resolve_entities=False)
    parser.resolvers.add(_LocalFiles([folder] + fallback_folders))
    document = etree.fromstring(wrapper.encode(), parser, base_url=folder + "/")
    return etree.XMLSchema(document), set(by_namespace)


class Schemas:
    """Transitional and Strict schema sets, each compiled at its first use."""

    def __init__(self, folder=None):
        self.folder = folder or schema_folder()
        self.strict_folder = os.path.join(self.folder, "strict")
        self._sets = {}
        self.namespaces = {}  # namespace -> "transitional" | "strict"
        for name, where in (("transitional", self.folder), ("strict", self.strict_folder)):
            if not os.path.isdir(where):
                continue
            for f in os.listdir(where):
                if f.endswith(".xsd"):
                    ns = _target_namespace(os.path.join(where, f))
                    if ns and ns not in self.namespaces:
                        self.namespaces[ns] = name

    def understood(self):
        """The namespaces a consumer of these schemas understands (Markup Compatibility)."""
        return set(self.namespaces) | {XML_NS, XSI_NS}

    def for_namespace(self, namespace):
        """The compiled schema whose set defines `namespace`, or None."""
        name = self.namespaces.get(namespace)
        if name is None:
            return None
        if name not in self._sets:
            if name == "transitional":
                self._sets[name] = _compile(self.folder, [])[0]
            else:
                self._sets[name] = _compile(self.strict_folder, [self.folder])[0]
        return self._sets[name]
