#!/usr/bin/env python3
"""The DTD against the loader.

(a) The bundled examples declare the DTD and are valid against it (CI's tools job checks
    large generated files, their dumps included, against both).
(b) Mutations of the example, one structural mistake each (an unknown, misspelt or
    misplaced element, an unexpected attribute, a value outside its enumeration, a
    required element or attribute left out), are rejected by both.
"""

import argparse
import collections
import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import xml.dom.minidom

# The vocabulary, as `kolt-settings vocabulary --json` gives it (read in main()).
VOCABULARY = None


def records():
    """Elements whose text children the loader reads without looking at their attributes or
    children: the DTD is stricter there, by design."""
    return {e["name"] for e in VOCABULARY["elements"] if e["content"] == "fields"}


def bad_values():
    """Per attribute with a closed set of values: values outside it (letter case, empty,
    another word)."""
    bad = {}
    for e in VOCABULARY["elements"]:
        for a in e["attributes"]:
            if a["values"]:
                v = a["values"][0]
                candidates = [v.swapcase(), v.capitalize(), v.lower(), "", "1"]
                bad[a["name"]] = sorted({c for c in candidates if c not in a["values"]})
    return bad


def required_parts():
    """(element, child or @attribute) whose absence both the loader and the DTD reject."""
    parts = []
    for e in VOCABULARY["elements"]:
        parts += [(e["name"], c) for c in e["required"]]
        parts += [(e["name"], "@" + a["name"]) for a in e["attributes"] if a["required"]]
    return parts


ARGS = None


def xmllint_rejects(files):
    """The files xmllint finds invalid or not well-formed."""
    rejected = set()
    for start in range(0, len(files), 500):
        chunk = files[start:start + 500]
        p = subprocess.run([ARGS.xmllint, "--noout", "--dtdvalid", ARGS.dtd, *chunk], capture_output=True, text=True)
        for line in p.stderr.splitlines():
            m = re.match(r"Document (.*) does not validate against ", line) or re.match(r"(.*?):\d+: parser error", line)
            if m:
                rejected.add(m.group(1))
    return rejected


def loader_codes(files):
    """Per file, the codes of the errors kolt-settings check reports."""
    codes = {f: [] for f in files}
    for start in range(0, len(files), 500):
        chunk = files[start:start + 500]
        p = subprocess.run([ARGS.tool, "check", "--each", "--format=json", *chunk], capture_output=True, text=True)
        if p.returncode not in (0, 1):
            sys.exit("kolt-settings check failed: %s" % p.stderr)
        for line in p.stdout.splitlines():
            record = json.loads(line)
            if record["severity"] == "error":
                codes[record["file"]].append(record["code"])
    return codes


def check_examples():
    """Every example declares the DTD, by a path that holds in the source tree and once
    installed, and is valid against the DTD it declares."""
    failures = []
    for example in sorted(glob.glob(os.path.join(ARGS.examples, "*.xml"))):
        with open(example) as f:
            if '<!DOCTYPE Settings SYSTEM "../schema/koltSettings.dtd">' not in f.read():
                failures.append("%s does not declare ../schema/koltSettings.dtd" % example)
        if subprocess.run([ARGS.xmllint, "--noout", "--valid", example], capture_output=True).returncode:
            failures.append("%s is not valid against the DTD it declares" % example)
    return failures


def mutations(base):
    """(label, kind, xml text, loader expected to report) for each mistake."""
    def load():
        doc = xml.dom.minidom.parseString(base)
        if doc.doctype:
            doc.removeChild(doc.doctype)
        return doc, doc.getElementsByTagName("*")

    doc, elements = load()
    structure = [(e.tagName, e.parentNode.tagName if e.parentNode.nodeType == e.ELEMENT_NODE else None)
                 for e in elements]

    use_sets = {k["useSet"] for k in VOCABULARY["ruleKinds"]}
    groups = [g["name"] for g in VOCABULARY["groups"]]
    prefix_lists = {l["name"] for l in VOCABULARY["lists"] if l["match"] == "prefix"}
    fields_of = records()

    # One element of each name and parent stands for the others.
    first = {}
    for i, key in enumerate(structure):
        first.setdefault(key, i)
    for (tag, parent), i in first.items():
        field = parent in fields_of and tag not in use_sets
        root = parent is None
        doc, elements = load()
        elements[i].setAttribute("bogus", "1")
        yield ("attribute on " + tag, "unexpected attribute", doc.toxml(), not (field or root))
        doc, elements = load()
        elements[i].appendChild(doc.createElement("Bogus"))
        yield ("child of " + tag, "unknown element", doc.toxml(), not field)
        for new in sorted({tag + "X", tag.lower(), tag[:-1]} - {tag}):
            doc, elements = load()
            doc.renameNode(elements[i], None, new)
            # The loader takes any name that begins with one of these as that list.
            prefixed = tag in prefix_lists and new.startswith(tag)
            yield ("%s renamed %s" % (tag, new), "unknown element", doc.toxml(), not (root or prefixed))

    # Every list element under every other group; every item in every other list.
    lists = [(i, t, p) for i, (t, p) in enumerate(structure) if p in groups]
    items = {}
    for i, (t, p) in enumerate(structure):
        if any(p == l for _, l, _ in lists):
            items.setdefault(t, i)
    for i, tag, group in lists:
        for other in groups:
            if other == group:
                continue
            doc, elements = load()
            target = [e for e in elements if e.tagName == other][0]
            target.appendChild(elements[i].cloneNode(True))
            yield ("%s in %s" % (tag, other), "misplaced element", doc.toxml(), True)
        for item, j in items.items():
            doc, elements = load()
            if any(c.nodeType == c.ELEMENT_NODE and c.tagName == item for c in elements[i].childNodes):
                continue
            elements[i].appendChild(elements[j].cloneNode(True))
            yield ("%s in %s" % (item, tag), "misplaced element", doc.toxml(), True)

    for (tag, _), i in first.items():
        for attr, values in bad_values().items():
            doc, elements = load()
            if not elements[i].hasAttribute(attr):
                continue
            for value in values:
                doc, elements = load()
                elements[i].setAttribute(attr, value)
                yield ("%s %s=%r" % (tag, attr, value), "value outside its enumeration", doc.toxml(), True)

    for element, part in required_parts():
        doc, elements = load()
        i = next((k for k, (t, _) in enumerate(structure) if t == element), None)
        if i is None:
            continue  # not in the example
        if part.startswith("@"):
            elements[i].removeAttribute(part[1:])
        else:
            for child in [c for c in elements[i].childNodes if c.nodeType == c.ELEMENT_NODE and c.tagName == part]:
                elements[i].removeChild(child)
        yield ("%s without %s" % (element, part), "required part left out", doc.toxml(), True)


def check_mutations(work):
    with open(os.path.join(ARGS.examples, "settings.xml"), "rb") as f:
        base = f.read()
    cases = []
    for n, (label, kind, text, reported) in enumerate(mutations(base)):
        path = os.path.join(work, "mutation-%04d.xml" % n)
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
        cases.append((path, label, kind, reported))
    files = [c[0] for c in cases]
    rejected = xmllint_rejects(files)
    codes = loader_codes(files)
    failures = []
    kinds = collections.Counter()
    stricter = 0
    for path, label, kind, reported in cases:
        if path not in rejected:
            failures.append("mutation %s (%s): the DTD accepts it" % (label, kind))
        if reported and not codes[path]:
            failures.append("mutation %s (%s): the loader says nothing" % (label, kind))
        if not reported and codes[path]:
            failures.append("mutation %s: the loader was expected to ignore it, and reports %s" % (label, codes[path]))
        if reported:
            kinds[kind] += 1
        else:
            stricter += 1
    for kind in ["unexpected attribute", "unknown element", "misplaced element", "value outside its enumeration",
                 "required part left out"]:
        if kinds[kind] < 10 and kind != "required part left out":
            failures.append("too few mutations of kind %s: %d" % (kind, kinds[kind]))
    print("mutations rejected by both: %s; by the DTD alone (parts the loader ignores): %d"
          % (dict(kinds), stricter))
    return failures


def main():
    global ARGS, VOCABULARY
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--dtd", required=True)
    parser.add_argument("--xmllint", default="xmllint")
    parser.add_argument("--examples", required=True)
    ARGS = parser.parse_args()
    VOCABULARY = json.loads(subprocess.run([ARGS.tool, "vocabulary", "--json"], capture_output=True,
                                           check=True).stdout)
    with tempfile.TemporaryDirectory() as work:
        failures = check_examples() + check_mutations(work)
    for f in failures:
        print("FAIL: " + f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
