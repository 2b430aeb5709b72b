"""What the check found in a package, and which of a filled package's findings its template
already had. A finding is told by part, line, rule and message; it is matched by part, rule
and subject (what it is about, without line numbers or counts that a fill moves), one for one."""
from collections import Counter


class Finding:
    __slots__ = ("part", "line", "rule", "subject", "message")

    def __init__(self, part, line, rule, message, subject=None):
        self.part, self.line, self.rule, self.message = part, line or 0, rule, message
        self.subject = subject if subject is not None else message

    def key(self):
        return (self.part, self.rule, self.subject)

    def text(self, package):
        return "%s: %s:%d: %s: %s" % (package, self.part, self.line, self.rule, self.message)


class Result:
    """The findings and counts of one package."""

    def __init__(self, path):
        self.path = path
        self.findings = []
        self.parts = 0               # parts in the package
        self.validated = 0           # XML parts validated against a schema
        self.unschemed = Counter()   # XML parts without a schema, by content type
        self.binary = 0              # parts that are not XML (pictures, VBA, embeddings)

    def add(self, part, line, rule, message, subject=None):
        self.findings.append(Finding(part, line, rule, message, subject))


def introduced(template, filled):
    """The findings of `filled` beyond those of `template` (one for one, by key), and the
    template's own ones that the filled package still has."""
    had = Counter(f.key() for f in template.findings) if template else Counter()
    new, kept = [], []
    for finding in filled.findings:
        if had[finding.key()] > 0:
            had[finding.key()] -= 1
            kept.append(finding)
        else:
            new.append(finding)
    return new, kept
