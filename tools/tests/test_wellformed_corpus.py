#!/usr/bin/env python3
"""The strict well-formedness check of kolt-settings check against xmllint --noout, on
generated documents: each kind of violation, and well-formed documents that use the less
common parts of XML."""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import unittest

ARGS = None  # set in main()


def doc(body, attributes=""):
    return "<Settings%s>%s</Settings>" % (attributes, body)


def subset(declarations, body=""):
    return "<!DOCTYPE Settings [%s]>%s" % (declarations, doc(body))


DECL = '<?xml version="1.0" encoding="UTF-8"?>\n'
TEXT = "\u00e9\u20ac\U0001F600"
ENTITIES = ("<!ELEMENT Settings ANY><!ATTLIST Settings a CDATA #IMPLIED>"
            "<!ENTITY co 'kolt'><!ENTITY nested \"&co; &#38;amp; &#x20AC;\">"
            "<!ENTITY % pe \"<!ENTITY fromPe 'pe'>\">%pe;<!-- c --><?pi x?>"
            "<!NOTATION n SYSTEM 'n'><!ENTITY pic SYSTEM 'p.gif' NDATA n>")


def laughs(levels, fanout):
    decls = "<!ENTITY l0 'ha'>" + "".join(
        "<!ENTITY l%d '%s'>" % (i, ("&l%d;" % (i - 1)) * fanout) for i in range(1, levels + 1))
    return subset(decls, "&l%d;" % levels)


# (label, document, None when well-formed, else a code among its violations).
# Documents are text (written as UTF-8) or bytes.
ROWS = [
    ("minimal", "<Settings/>", None),
    ("declaration", DECL + doc("x"), None),
    ("standalone", '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Settings/>', None),
    ("version 1.1, read as 1.0", '<?xml version="1.1"?><Settings/>', None),
    ("internal subset and entities", subset(ENTITIES, '&co;&nested;&fromPe;<x a="&co;&#60;"/>'), None),
    ("predefined and character references", doc("&lt;&gt;&amp;&apos;&quot;&#65;&#x41;&#x1F600;"), None),
    ("CDATA", doc("<![CDATA[<&]]]]><![CDATA[>]]>"), None),
    ("brackets in text", doc("a]]b > c ]] >"), None),
    ("PIs and comments", '<?pi data?><!-- c - c --><Settings><?xml-stylesheet href="a"?><!----></Settings>'
     "<!-- after --><?after?>\n", None),
    ("blanks around the root", "\n<Settings/>\n\n", None),
    ("UTF-8 with BOM", b"\xef\xbb\xbf" + (DECL + doc(TEXT)).encode(), None),
    ("UTF-16LE with BOM", ("\ufeff" + DECL.replace("UTF-8", "UTF-16") + doc(TEXT)).encode("utf-16-le"), None),
    ("UTF-16BE with BOM", ("\ufeff" + doc(TEXT)).encode("utf-16-be"), None),
    ("Latin-1 declared", ('<?xml version="1.0" encoding="ISO-8859-1"?>' + doc("caf\u00e9 \u00ff")).encode("latin-1"),
     None),
    ("non-ASCII names", doc("<Gr\u00f6\u00dfe \u00e9t\u00e9='1'/><\U00010000/><a\u00b7\u0300/>"), None),
    ("names with dots, hyphens and digits", doc('<a.b-c_1 x.y-z="1"/>'), None),
    ("quotes and markup in attributes", doc("<x a='\"' b=\"'\" c=\"]]>\" d=\">\" e='&#60;'/>"), None),
    ("external DTD is not read", '<!DOCTYPE Settings SYSTEM "outside.dtd"><Settings>&fromOutside;</Settings>', None),
    ("external entity is not read", subset('<!ENTITY e SYSTEM "outside.ent">', "&e;"), None),
    ("external parameter entity is not read", '<!DOCTYPE Settings [<!ENTITY % p SYSTEM "outside.ent">%p;]>'
     "<Settings/>", None),
    ("nested entities within the limits", laughs(2, 3), None),
    ("namespaces", doc("<a:b xmlns:a='urn:a'/><c:d/>"), None),  # namespaces are another rule book
    # Duplicate attributes.
    ("duplicate attribute", doc('<x a="1" a="2"/>'), "KX003"),
    ("duplicate attribute in other quotes", "<Settings a='1' a=\"1\"/>", "KX003"),
    # References.
    ("undeclared entity in text", doc("&nbsp;"), "KX005"),
    ("undeclared entity in an attribute", doc('<x a="&nbsp;"/>'), "KX005"),
    ("undeclared entity beside an internal subset", subset("<!ENTITY a 'a'>", "&b;"), "KX005"),
    ("undeclared entity inside an entity", subset("<!ENTITY a '&b;'>", "&a;"), "KX005"),
    ("bare ampersand in text", doc("a & b"), "KX006"),
    ("bare ampersand in an attribute", doc('<x a="a & b"/>'), "KX006"),
    ("reference without a semicolon", doc("&amp b"), "KX006"),
    ("character reference without digits", doc("&#;"), "KX008"),
    ("character reference with a bad digit", doc("&#x4G;"), "KX008"),
    ("external entity in an attribute", subset('<!ENTITY e SYSTEM "outside.ent">', "<x a='&e;'/>"), "KX006"),
    ("unparsed entity in text", subset("<!NOTATION n SYSTEM 'n'><!ENTITY e SYSTEM 'x' NDATA n>", "&e;"), "KX006"),
    ("< through an entity in an attribute", subset("<!ENTITY e '&#60;'>", "<x a='&e;'/>"), "KX004"),
    # Text and comments.
    ("]]> in text", doc("a]]>b"), "KX009"),
    ("-- in a comment", doc("<!-- a -- b -->"), "KX010"),
    ("comment ending in --->", doc("<!-- a --->"), "KX010"),
    ("comment not closed", doc("<!-- a"), "KX010"),
    ("CDATA not closed", doc("<![CDATA[x"), "KX002"),
    ("processing instruction not closed", doc("<?pi x"), "KX002"),
    # The name xml and the XML declaration.
    ("processing instruction named xml", doc('<?xml version="1.0"?>'), "KX011"),
    ("processing instruction named XmL", doc("<?XmL x?>"), "KX011"),
    ("declaration after a comment", '<!-- c --><?xml version="1.0"?><Settings/>', "KX011"),
    ("declaration after a blank", ' <?xml version="1.0"?><Settings/>', "KX011"),
    ("declaration twice", '<?xml version="1.0"?><?xml version="1.0"?><Settings/>', "KX011"),
    ("declaration in upper case", '<?XML version="1.0"?><Settings/>', "KX011"),
    ("version 2.0", '<?xml version="2.0"?><Settings/>', "KX012"),
    ("version 1.x", '<?xml version="1.x"?><Settings/>', "KX012"),
    ("no version", '<?xml encoding="UTF-8"?><Settings/>', "KX012"),
    ("encoding before version", '<?xml encoding="UTF-8" version="1.0"?><Settings/>', "KX012"),
    ("encoding name with a blank", '<?xml version="1.0" encoding="UTF 8"?><Settings/>', "KX012"),
    ("encoding name starting with a digit", '<?xml version="1.0" encoding="8859-1"?><Settings/>', "KX012"),
    ("standalone maybe", '<?xml version="1.0" standalone="maybe"?><Settings/>', "KX012"),
    ("declaration not closed", '<?xml version="1.0"<Settings/>', "KX012"),
    # Encoding against bytes.
    ("unknown encoding", '<?xml version="1.0" encoding="no-such-encoding"?><Settings/>', "KX013"),
    ("UTF-16 declared, UTF-8 bytes", '<?xml version="1.0" encoding="UTF-16"?><Settings/>', "KX013"),
    ("Latin-1 bytes declared UTF-8", (DECL + doc("caf\u00e9")).encode("latin-1"), "KX013"),
    ("Latin-1 bytes undeclared", doc("caf\u00e9").encode("latin-1"), "KX013"),
    ("cut UTF-8 sequence", doc("a\x00b").encode().replace(b"\x00", b"\xe2\x82"), "KX013"),
    ("overlong UTF-8", doc("a\x00b").encode().replace(b"\x00", b"\xc0\xaf"), "KX013"),
    # Structure.
    ("second root", "<Settings/><Settings/>", "KX014"),
    ("text after the root", "<Settings/>text", "KX014"),
    ("reference after the root", "<Settings/>&amp;", "KX014"),
    ("text before the root", "text<Settings/>", "KX002"),
    ("mismatched tags", doc("<a></b>"), "KX002"),
    ("root not closed", "<Settings>", "KX002"),
    ("empty document", "", "KX002"),
    ("only a comment", "<!-- c -->", "KX002"),
    ("attribute without a value", doc("<x a/>"), "KX004"),
    ("attribute without quotes", doc("<x a=1/>"), "KX004"),
    ("< in an attribute", doc('<x a="<"/>'), "KX004"),
    # Names.
    ("element name starting with a digit", doc("<1x/>"), "KX015"),
    ("attribute name starting with a digit", doc('<x 1a="v"/>'), "KX015"),
    ("element name starting with a hyphen", doc("<-x/>"), "KX015"),
    ("element name holding U+00D7", doc("<a\u00d7b/>"), "KX015"),
    ("name starting with a combining mark", doc("<\u0300a/>"), "KX015"),
    ("end tag with another name", "<Settings></Settings1>", "KX002"),
    ("entity name starting with a digit", doc("&1a;"), "KX006"),
    ("processing instruction target starting with a digit", doc("<?1pi x?>"), "KX015"),
    # The DOCTYPE and its internal subset.
    ("bad content model", subset("<!ELEMENT Settings (a,|b)>"), "KX016"),
    ("entity value not closed", subset('<!ENTITY e "x>'), "KX016"),
    ("attribute list without a default", subset("<!ATTLIST Settings a CDATA>"), "KX016"),
    ("parameter entity reference without a semicolon", subset("<!ENTITY % p 'x'> %p "), "KX016"),
    ("parameter entity inside a declaration", subset("<!ENTITY % p 'CDATA'><!ATTLIST Settings a %p; #IMPLIED>"),
     "KX016"),
    ("unknown declaration", subset("<!FOO>"), "KX016"),
    ("internal subset not closed", "<!DOCTYPE Settings [<!ELEMENT Settings ANY><Settings/>", "KX016"),
    ("bare ampersand in an entity value", subset("<!ENTITY e 'a & b'>"), "KX016"),
    ("conditional section in the internal subset", subset("<![INCLUDE[<!ELEMENT Settings ANY>]]>"), "KX016"),
    ("DOCTYPE after the root", "<Settings/><!DOCTYPE Settings>", "KX014"),
    ("DOCTYPE twice", "<!DOCTYPE Settings><!DOCTYPE Settings><Settings/>", "KX015"),  # read as a start tag
    ("entity that is not well-balanced", subset("<!ENTITY e '<x>'>", "&e;"), "KX002"),
    # Entity expansion.
    ("entity loop", subset("<!ENTITY a '&b;'><!ENTITY b '&a;'>", "&a;"), "KX017"),
    ("entity referring to itself", subset("<!ENTITY a 'x&a;'>", "&a;"), "KX017"),
    ("billion laughs", laughs(10, 10), "KX017"),
    # libxml2 2.9 also refuses modest nesting in a small document (xmllint agrees).
    ("nested entities past the parser's ratio", laughs(4, 2), "KX017"),
]

# Characters by code point: those XML forbids and, beside them, the allowed ones at the
# edges of its ranges. Each goes into text, an attribute, a comment, CDATA and a
# processing instruction literally, and into text and an attribute as a decimal and a
# hexadecimal reference.
FORBIDDEN = [0x0, 0x1, 0x8, 0xB, 0xC, 0x1B, 0x1F, 0xD800, 0xDFFF, 0xFFFE, 0xFFFF]
ALLOWED = [0x9, 0xA, 0xD, 0x20, 0x7F, 0x85, 0x9F, 0xD7FF, 0xE000, 0xFFFD, 0x10000, 0x10FFFF]
LITERAL_PLACES = [("text", "<Settings>a%sb</Settings>"), ("attribute", "<Settings a='a%sb'/>"),
                  ("comment", "<Settings><!-- a%sb --></Settings>"), ("CDATA", "<Settings><![CDATA[a%sb]]></Settings>"),
                  ("processing instruction", "<Settings><?pi a%sb?></Settings>")]
REFERENCE_PLACES = LITERAL_PLACES[:2]


def literal(code_point):
    # Surrogates as the three bytes UTF-8 would give them (Python refuses to encode them).
    if 0xD800 <= code_point <= 0xDFFF:
        return bytes([0xE0 | code_point >> 12, 0x80 | (code_point >> 6 & 0x3F), 0x80 | (code_point & 0x3F)])
    return chr(code_point).encode()


def character_rows():
    rows = []
    for cp in FORBIDDEN + ALLOWED + [0x110000]:
        bad = cp not in ALLOWED
        for place, template in LITERAL_PLACES if cp <= 0x10FFFF else []:
            document = template.encode().replace(b"%s", literal(cp))
            rows.append(("U+%04X literally in %s" % (cp, place), document, "KX007" if bad else None))
        for place, template in REFERENCE_PLACES:
            for form in ["&#%d;", "&#x%X;"]:
                rows.append(("U+%04X as %s in %s" % (cp, form.split("%")[0] + "...", place),
                             template % (form % cp), "KX008" if bad else None))
    return rows


def write(directory, name, document):
    path = os.path.join(directory, name)
    with open(path, "wb") as f:
        f.write(document if isinstance(document, bytes) else document.encode())
    return path


def strict_violations(paths):
    """The KX findings of `kolt-settings check` on each file, by path."""
    out = subprocess.run([ARGS.tool, "check", "--each", "--format=json", *paths], capture_output=True, timeout=300)
    found = {path: [] for path in paths}
    for line in out.stdout.decode().splitlines():
        record = json.loads(line)
        if record["code"].startswith("KX"):
            found[record["file"]].append(record)
    return found


class Corpus(unittest.TestCase):
    def test_agrees_with_xmllint(self):
        rows = ROWS + character_rows()
        with tempfile.TemporaryDirectory() as tmp:
            # What the external references name: read, they would make the document
            # ill-formed.
            write(tmp, "outside.ent", "<unclosed>&undeclared;")
            write(tmp, "outside.dtd", "<!ELEMENT")
            paths = [write(tmp, "%03d.xml" % i, row[1]) for i, row in enumerate(rows)]
            verdicts = strict_violations(paths)
            agree = 0
            for (label, _, expected), path in zip(rows, paths):
                violations = verdicts[path]
                lint = subprocess.run([ARGS.xmllint, "--noout", path], capture_output=True, timeout=60)
                with self.subTest(label):
                    self.assertEqual(not violations, lint.returncode == 0,
                                     "%s\nxmllint: %s" % (violations, lint.stderr.decode(errors="replace")))
                    agree += 1
                    codes = [v["code"] for v in violations]
                    self.assertTrue(expected in codes if expected else not codes, violations)
                    for v in violations:
                        self.assertTrue(v["line"] >= 1 and v["column"] >= 1 and v["message"], v)
            print("\n%d documents, %d agree with xmllint" % (len(rows), agree), file=sys.stderr)

    def test_positions_count_characters_in_every_encoding(self):
        text = '<?xml version="1.0" encoding="%s"?>\n<Settings>\n\t\u00e9\u00e9 &x;</Settings>'
        documents = [(text % "UTF-8").encode(), b"\xef\xbb\xbf" + (text % "UTF-8").encode(),
                     ("\ufeff" + text % "UTF-16").encode("utf-16-le"), (text % "ISO-8859-1").encode("latin-1")]
        with tempfile.TemporaryDirectory() as tmp:
            paths = [write(tmp, "%d.xml" % i, d) for i, d in enumerate(documents)]
            verdicts = strict_violations(paths)
        for path in paths:
            [v] = verdicts[path]
            self.assertEqual((v["code"], v["line"], v["column"], v["message"]),
                             ("KX005", 3, 8, "Entity 'x' not defined"))


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True, help="kolt-settings")
    parser.add_argument("--xmllint", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=1)


if __name__ == "__main__":
    main()
