"""The strict check of saved packages.

  strict_check [-j N] LISTING          LISTING lines: [TEMPLATE TAB] PACKAGE; a package is held
                                       to its template: what the template already had is
                                       counted as the template's, anything else fails
  strict_check [-j N] --each FILE...   every package alone: every finding fails

Prints every failing finding as "package: part:line: rule: message", then what was checked:
packages, parts validated, parts without a schema by content type, parts that are no XML, and
the findings of the templates and those the packages added. Exits 1 on a failing finding, 2
when the schemas are missing (the message names the folder: ../shared/ooxml-schemas beside the
checkout, or $QX_SCHEMA_DIR).
"""
import multiprocessing
import os
import sys
from collections import Counter

if __package__ in (None, ""):
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    __package__ = "strict_check"

from strict_check import Checker, SchemaFolderMissing, Schemas, introduced  # noqa: E402

_checker = None


def _check(path):
    global _checker
    if _checker is None:
        _checker = Checker(Schemas())
    return _checker.check(path)


def main(argv):
    jobs = os.cpu_count() or 1
    if len(argv) >= 2 and argv[0] == "-j":
        jobs, argv = max(1, int(argv[1])), argv[2:]
    if not argv:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if argv[0] == "--each":
        pairs = [(None, p) for p in argv[1:]]
    else:
        pairs = []
        for line in open(argv[0], encoding="utf-8").read().splitlines():
            fields = line.split("\t")
            if line.strip():
                pairs.append((fields[0], fields[1]) if len(fields) > 1 else (None, fields[0]))
    try:
        Schemas()
    except SchemaFolderMissing as e:
        print("strict_check: %s" % e, file=sys.stderr)
        return 2
    paths = sorted({p for pair in pairs for p in pair if p}, key=lambda p: -os.path.getsize(p)
                   if os.path.exists(p) else 0)
    if jobs > 1 and len(paths) > 1:
        with multiprocessing.Pool(min(jobs, len(paths))) as pool:
            results = dict(zip(paths, pool.map(_check, paths, chunksize=1)))
    else:
        results = {p: _check(p) for p in paths}
    failing, kept_rules, added_rules = 0, Counter(), Counter()
    for template, filled in pairs:
        new, kept = introduced(results.get(template), results[filled])
        kept_rules.update(f.rule for f in kept)
        added_rules.update(f.rule for f in new)
        for finding in new:
            print(finding.text(filled))
        failing += len(new)
    templates = {t for t, _ in pairs if t}
    template_findings = Counter(f.rule for t in templates for f in results[t].findings)
    checked = [results[p] for p in paths]
    unschemed = Counter()
    for r in checked:
        unschemed.update(r.unschemed)
    print("checked %d packages (%d templates): %d parts, %d validated against a schema, %d "
          "without a schema, %d not XML" % (
              len(checked), len(templates), sum(r.parts for r in checked),
              sum(r.validated for r in checked), sum(unschemed.values()),
              sum(r.binary for r in checked)))
    for kind, n in sorted(unschemed.items()):
        print("  without a schema: %s: %d" % (kind, n))
    print("findings: %d in the templates, %d of them still in the filled packages; %d added by "
          "the fill" % (sum(template_findings.values()), sum(kept_rules.values()), failing))
    for rule in sorted(set(template_findings) | set(added_rules)):
        print("  %s: %d in the templates, %d added" % (rule, template_findings[rule],
                                                         added_rules[rule]))
    return 1 if failing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
