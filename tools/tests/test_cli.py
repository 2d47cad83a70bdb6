#!/usr/bin/env python3
"""End-to-end tests of kolt-settings: exit codes, every output format, hints, dumps."""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.dom.minidom

ARGS = None  # set in main()
SCRATCH = None  # a folder for the files of the tests, set in main()
BAD = MALFORMED = None  # ERRORS_XML and MALFORMED_XML in it

DTD_LINE = "--> This file is not valid according to the dtd"

# A file with one problem per known line; (line, column, code) of each, in order.
ERRORS_XML = """<?xml version="1.0"?>
<Settings>
  <RunType TypeOfRun="check"/>
  <ReportSet>
    <Report MessageName="A" Activate="TRUE"/>
  </ReportSet>
  <OptionLists>
    <Various_OptionLists>
      <Macro2Expand><Macro>X</Macro></Macro2Expand>
      <ProhibitedCalls>
        <Call><MethodOrFunctionSign>f</MethodOrFunctionSign></Call>
        <Call/>
      </ProhibitedCalls>
    </Various_OptionLists>
  </OptionLists>
</Settings>
"""
# A diagnostic about an attribute is placed at the attribute.
ERRORS_AT = [(3, 12, "KS004"), (5, 29, "KS011"), (9, 8, "KS007"), (12, 10, "KS016")]
CALL_PATH = "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[2]"

# What the loader writes for ERRORS_XML, byte for byte.
ERRORS_STDERR = "".join("--> Error while parsing SettingFile%s\n%s\n / Settings / %s\n" % (m, DTD_LINE, p) for m, p in [
    (' in parseRunType, attribute Value for "TypeOfRun" is not valid', "RunType"),
    (', attribute Value for "Report " should be either "true" or "false" (not "TRUE")', "ReportSet / Report"),
    (", unexpected node", "OptionLists / Various_OptionLists / Macro2Expand"),
    (", Call -> no MethodOrFunctionSign is defined or it is null",
     "OptionLists / Various_OptionLists / ProhibitedCalls / Call")])

MALFORMED_XML = "<Settings>\n  <RunType>\n</Settings>\n"


def run(*args):
    p = subprocess.run([ARGS.tool, *args], capture_output=True, timeout=60)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def json_lines(text):
    return [json.loads(line) for line in text.splitlines()]


def settings(body):
    return "<Settings>" + body + "</Settings>"


def option_lists(group, body):
    return settings("<OptionLists><%s>%s</%s></OptionLists>" % (group, body, group))


def scratch_file(name, text):
    path = os.path.join(SCRATCH, name)
    with open(path, "w") as f:
        f.write(text)
    return path


class ExitCodes(unittest.TestCase):
    def test_each_case(self):
        clean = os.path.join(ARGS.examples, "settings.xml")
        empty = scratch_file("empty.xml", "")
        missing = os.path.join(SCRATCH, "missing.xml")
        usage = [("no command", []), ("unknown command", ["lint"]), ("unknown option", ["check", "--fast"]),
                 ("limit not a number", ["check", "--max-diagnostics", "ten"]),
                 ("check option on dump", ["dump", "--format=gnu"]), ("two dump forms", ["dump", "--json", "--xml"])]
        rows = [(label, args, 2) for label, args in usage] + [
            ("help after a command", ["check", "-h"], 0),
            ("bundled example", ["check"], 0),
            ("clean and bad", ["check", clean, BAD], 1),
            ("missing file", ["check", missing], 2),
            ("directory", ["check", SCRATCH], 2),
            ("empty file", ["check", empty], 2),
            ("bad then missing", ["check", BAD, missing], 2),
            ("file named like an option", ["check", "--", "--fast"], 2),
            ("dump clean", ["dump", clean], 0),
            ("dump with problems", ["dump", BAD], 1),
            ("dump missing", ["dump", clean, missing], 2),
            ("dump malformed", ["dump", "--json", MALFORMED], 2),
            ("vocabulary", ["vocabulary", "--json"], 0),
            ("two vocabulary forms", ["vocabulary", "--json", "--dtd"], 2),
            ("vocabulary of a file", ["vocabulary", clean], 2),
        ]
        for fmt in ["default", "gnu", "json", "sarif"]:
            rows += [("bad as " + fmt, ["check", "--format", fmt, BAD], 1),
                     ("malformed as " + fmt, ["check", "--format=" + fmt, MALFORMED], 2)]
        for label, args, expected in rows:
            with self.subTest(label):
                code, out, err = run(*args)
                self.assertEqual(code, expected, err)
                if expected == 2 and args[:1] == ["dump"]:
                    self.assertEqual(out, "", "dump prints nothing when a file failed")
                if (label, args) in usage:
                    self.assertIn("kolt-settings --help", err)
        self.assertRegex(run("--version")[1], r"^kolt-settings \d+\.\d+\.\d+\n$")

    # Skipped where any file is readable (root); CI runs it as an unprivileged user.
    def test_unreadable_file(self):
        path = scratch_file("locked.xml", settings(""))
        os.chmod(path, 0)
        if os.access(path, os.R_OK):
            self.skipTest("running with privileges that read any file")
        code, out, _ = run("check", "--format=json", path)
        self.assertEqual(code, 2)
        self.assertEqual([r["code"] for r in json_lines(out)], ["KT002"])


class Formats(unittest.TestCase):
    def test_default_is_the_loaders_bytes(self):
        self.assertEqual(run("check", BAD), (1, "", ERRORS_STDERR))
        if ARGS.print_settings:
            p = subprocess.run([ARGS.print_settings, BAD], capture_output=True)
            self.assertEqual(ERRORS_STDERR.encode(), p.stderr, "the same bytes as a program calling the library")

    def test_gnu_lines(self):
        code, out, err = run("check", "--format=gnu", BAD)
        self.assertEqual((code, out), (1, ""))
        line = re.compile(r"^(.+):(\d+):(\d+): error: .* \[(K[ST]\d{3})\](?: at (/\S+))?$")
        lines = [line.match(l) for l in err.splitlines()]
        self.assertEqual([(m.group(1), int(m.group(2)), int(m.group(3)), m.group(4)) for m in lines],
                         [(BAD,) + at for at in ERRORS_AT])
        self.assertEqual(lines[3].group(5), CALL_PATH)
        # Columns count characters, not bytes.
        path = scratch_file("utf8.xml", "\ufeff" + settings("<ReportSet><!-- \u00e9\u00e9\u20ac --><Report/>"
                                                          "</ReportSet>"))
        self.assertIn(path + ":1:35: error: no MessageName defined for report [KS012]",
                      run("check", "--format=gnu", path)[2])

    def test_json_records(self):
        code, out, err = run("check", "--format=json", BAD)
        self.assertEqual((code, err), (1, ""))
        records = json_lines(out)
        self.assertEqual([(r["line"], r["column"], r["code"]) for r in records], ERRORS_AT)
        self.assertEqual({(r["file"], r["severity"]) for r in records}, {(BAD, "error")})
        self.assertEqual([r["message"] for r in records], [
            "TypeOfRun is 'check'; its only value is 'Check'", "Activate is 'TRUE'; it takes 'true' or 'false'",
            "unexpected element 'Macro2Expand'", "Call -> no MethodOrFunctionSign is defined or it is null"])
        self.assertEqual(records[2]["hint"], "'Macro2Expand' belongs in 'Global_OptionLists'")
        self.assertEqual(records[3]["path"], CALL_PATH)
        # The loader's three lines, put back together, are its output.
        rebuilt = "".join(r["legacyMessage"] + "\n" + DTD_LINE + "\n" + r["printedPath"] + "\n" for r in records)
        self.assertEqual(rebuilt, ERRORS_STDERR)

    def test_json_records_of_files_that_do_not_load(self):
        missing = os.path.join(SCRATCH, "nope.xml")
        code, out, _ = run("check", "--format=json", MALFORMED, missing, SCRATCH)
        self.assertEqual(code, 2)
        m, n, d = json_lines(out)
        self.assertEqual((m["code"], m["line"], m["column"], m["message"]),
                         ("KT003", 3, 3, "not well-formed XML: Start-end tags mismatch"))
        self.assertEqual((n["code"], n["file"], n["line"], n["column"]), ("KT001", missing, None, None))
        self.assertIn("No such file", n["message"])
        self.assertEqual((d["code"], d["message"]), ("KT001", "cannot check: is a directory"))

    def test_max_diagnostics(self):
        code, out, err = run("check", "--format=json", "--max-diagnostics=3", BAD, BAD)
        self.assertEqual((code, len(json_lines(out))), (1, 3))
        self.assertEqual(err, "kolt-settings: 5 more diagnostics not shown (--max-diagnostics=3)\n")
        first = ERRORS_STDERR[:ERRORS_STDERR.index(" / Settings / RunType\n")] + " / Settings / RunType\n"
        self.assertEqual(run("check", "--max-diagnostics", "1", BAD)[1:],
                         ("", first + "kolt-settings: 3 more diagnostics not shown (--max-diagnostics=1)\n"))


class Hints(unittest.TestCase):
    def test_cases(self):
        """hints.cases: a document, the code of its one diagnostic of that code, and the hint."""
        cases, section = [], None
        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "hints.cases")) as f:
            for line in f.read().splitlines():
                if line.startswith("=== "):
                    cases.append({"name": line[4:]})
                elif line.startswith("--- ") and cases:
                    section = line[4:]
                    cases[-1][section] = ""
                elif cases and section:
                    cases[-1][section] += line + "\n"
        self.assertGreater(len(cases), 10)
        for case in cases:
            with self.subTest(case["name"]):
                [code] = [key[5:] for key in case if key.startswith("hint ")]
                hint = case["hint " + code].strip() or None
                path = scratch_file("hint.xml", case["xml"])
                records = [r for r in json_lines(run("check", "--format=json", path)[1]) if r["code"] == code]
                self.assertEqual([r.get("hint") for r in records], [hint])
                if hint:
                    self.assertIn("; " + hint + " [" + code + "]", run("check", "--format=gnu", path)[2])
                    self.assertNotIn(hint, run("check", path)[2], "the default format is the loader's alone")


class Sarif(unittest.TestCase):
    def test_log(self):
        bad = scratch_file("bad file.xml", ERRORS_XML)
        code, out, err = run("check", "--format=sarif", bad, MALFORMED)
        self.assertEqual((code, err), (2, ""))
        log = json.loads(out)
        self.assertEqual(log["version"], "2.1.0")
        [run_] = log["runs"]
        self.assertEqual(run_["tool"]["driver"]["name"], "kolt-settings")
        rules = run_["tool"]["driver"]["rules"]
        self.assertEqual([r["id"] for r in rules[:30]], ["KS%03d" % i for i in range(1, 31)])
        results = run_["results"]
        self.assertEqual(len(results), len(ERRORS_AT) + 1)
        for result, (line, column, code_) in zip(results, ERRORS_AT + [(3, 3, "KT003")]):
            self.assertEqual((result["ruleId"], rules[result["ruleIndex"]]["id"]), (code_, code_))
            [loc] = result["locations"]
            self.assertEqual(loc["physicalLocation"]["region"], {"startLine": line, "startColumn": column})
        uri = results[0]["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
        self.assertTrue(uri.startswith("file:///") and uri.endswith("/bad%20file.xml"), uri)
        self.assertEqual(results[3]["locations"][0]["logicalLocations"][0]["fullyQualifiedName"], CALL_PATH)
        self.assertIn("Start-end tags mismatch", results[4]["message"]["text"])
        code, out, _ = run("check", "--format=sarif")
        self.assertEqual((code, json.loads(out)["runs"][0]["results"]), (0, []))


class Dumps(unittest.TestCase):
    def test_json_document(self):
        code, out, err = run("dump", "--json")
        self.assertEqual((code, err), (0, ""))
        d = json.loads(out)
        self.assertEqual(list(d), ["runType", "reportTestFramework", "reports", "stringLists",
                                   "callWithSpecificArgLists", "callLists", "callDeclarationLists",
                                   "detectionLists"])
        self.assertEqual((d["runType"], d["reportTestFramework"]), (0, 1))
        self.assertNotIn("UselessInclude", d["reports"], "Activate='false' does not switch a report on")
        self.assertEqual(d["stringLists"][0], {"name": "ExcludeFramework", "items": ["ThirdParty", "GeneratedStubs"]})
        [safe] = [l for l in d["callDeclarationLists"] if l["name"] == "LifeCycle_SafeMethodsForMCBU"]
        self.assertEqual(safe["records"][1], {"frameworkName": "Kernel", "className": None,
                                              "methodOrFunctionSign": "MakeShared<T>(Args&&... args)"})
        rules = {l["name"]: l["rules"] for l in d["detectionLists"]}
        self.assertEqual(rules["EntityDetection_Methods"][1],
                         {"kind": "MethodDetection", "detectionType": "MethodDetection", "name": "strcpy",
                          "className": None, "argumentCount": 2, "allClasses": False, "function": True,
                          "replacement": "strlcpy", "uses": []})
        self.assertEqual(rules["EntityDetection_Words"][0]["detectionType"], "koltWordDetection")

    def test_files_load_in_order_into_one_manager(self):
        a, b = (scratch_file(n + ".xml", option_lists("Global_OptionLists",
                                                      "<Macro2Expand><Macro>%s</Macro></Macro2Expand>" % n))
                for n in "AB")
        _, out, _ = run("dump", "--json", b, a)
        self.assertEqual(json.loads(out)["stringLists"], [{"name": "Macro2Expand", "items": ["B", "A"]}])

    # The round trip itself is tested on many documents in test_tool_support.
    def test_xml_of_the_example_loads_back_into_the_same_state(self):
        code, xml, _ = run("dump", "--xml")
        self.assertEqual(code, 0)
        again = scratch_file("again.xml", xml)
        self.assertEqual(run("check", again)[0], 0)
        self.assertEqual(run("dump", "--json", again)[1], run("dump", "--json")[1])


class HostileNames(unittest.TestCase):
    """What a file or the command line holds for terminals, log viewers and CI runners to
    act on reaches no output but the loader's own stream raw."""

    NAME = "::error::x\x1b[2J.xml"  # at the start of gnu lines
    DIAGNOSED = (b'<Settings><RunType TypeOfRun="x\x1b[2J\xc2\x9b\xff ##vso[task.setvariable variable=a]b"/>'
                 b"<OptionLists><Various_OptionLists><Unknown\xc2\x9b\xff/></Various_OptionLists></OptionLists>"
                 b"</Settings>")
    CLEAN = (b"<Settings><OptionLists><Global_OptionLists><Macro2Expand><Macro>m\x1b]0;t\x07\n::error::forged\n"
             b"\x7f\xe2\x80\xae</Macro></Macro2Expand></Global_OptionLists></OptionLists>"
             b'<ReportSet><Report MessageName="r\x1b[1m##[error]x" Activate="true"/></ReportSet></Settings>')
    UNSAFE = re.compile("[\x00-\x08\x0b-\x1f\x7f-\x9f\u2028-\u202e\u2066-\u2069]|##[A-Za-z]*\\[|^\\s*::", re.M)
    ROWS = [
        # (label, arguments before the file, its contents (None: missing), exit status,
        #  the stream to look at, what it shows instead, a parser it must satisfy)
        ("gnu", ["check", "--format=gnu"], DIAGNOSED, 1, "err", "\\x3a:error::x\\x1b[2J.xml:1:", None),
        ("json", ["check", "--format=json"], DIAGNOSED, 1, "out", "\\u001b[2J\\u009b\\ufffd \\u0023#vso[", json_lines),
        ("sarif", ["check", "--format=sarif"], DIAGNOSED, 1, "out", "'Unknown\\u009b\\ufffd'", json.loads),
        ("default, a file that does not load", ["check"], None, 2, "err", "x\\x1b[2J.xml: cannot check", None),
        ("usage error", ["check", "--format=\x1b[2J"], None, 2, "err", "'\\x1b[2J'", None),
        ("dump json", ["dump", "--json"], CLEAN, 0, "out", "t\\u0007\\n::error::forged\\n\\u007f\\u202e", json.loads),
        ("dump xml, exit status 1", ["dump", "--xml"], CLEAN, 1, "out", "t\ufffd\ufffd::error::forged\n\ufffd\ufffd",
         lambda text: xml.dom.minidom.parseString(text.encode())),
    ]

    def test_rows(self):
        path = os.path.join(SCRATCH, self.NAME)
        for label, args, contents, status, stream, shown, parse in self.ROWS:
            with self.subTest(label):
                if contents is not None:
                    with open(path, "wb") as f:
                        f.write(contents)
                elif os.path.exists(path):
                    os.remove(path)
                p = subprocess.run([ARGS.tool, *args, self.NAME], capture_output=True, cwd=SCRATCH, timeout=60)
                text = (p.stdout if stream == "out" else p.stderr).decode("utf-8")
                self.assertEqual(p.returncode, status, p.stderr)
                self.assertIn(shown, text)
                self.assertIsNone(self.UNSAFE.search(text), text)
                if parse:
                    parse(text)


class Docs(unittest.TestCase):
    def test_guide_explains_every_code_and_element(self):
        with open(os.path.join(ARGS.docs, "settings-guide.md")) as f:
            guide = f.read()
        rules = json.loads(run("check", "--format=sarif")[1])["runs"][0]["tool"]["driver"]["rules"]
        for rule in rules:
            code, summary = rule["id"], rule["shortDescription"]["text"]
            if code.startswith("KS"):
                self.assertIn("\n### %s: %s\n" % (code, summary), guide)
            else:
                self.assertRegex(guide, r"\n\| %s \| %s" % (code, re.escape(summary)))
        with open(ARGS.dtd) as f:
            elements = re.findall(r"<!ELEMENT (\S+)", f.read())
        self.assertGreater(len(elements), 60)
        missing = [name for name in elements if "`%s`" % name not in guide]
        self.assertEqual(missing, [], "elements the guide does not mention")


def fix_manual():
    """Rewrites the quoted help in docs/kolt-settings.md from kolt-settings --help."""
    _, help_text, _ = run("--help")
    path = os.path.join(ARGS.docs, "kolt-settings.md")
    with open(path) as f:
        doc = f.read()
    doc = re.sub(r"(<!-- help:begin -->\n```text\n).*?(```\n<!-- help:end -->)",
                 lambda m: m.group(1) + help_text + m.group(2), doc, flags=re.S)
    with open(path, "w") as f:
        f.write(doc)


def main():
    global ARGS, SCRATCH, BAD, MALFORMED
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--docs", required=True)
    parser.add_argument("--help-text", required=True)
    parser.add_argument("--dtd", required=True)
    parser.add_argument("--print-settings", help="a program that loads a file and prints its state")
    parser.add_argument("--fix-manual", action="store_true")
    ARGS, rest = parser.parse_known_args()
    if ARGS.fix_manual:
        fix_manual()
        return
    with tempfile.TemporaryDirectory() as scratch:
        SCRATCH = scratch
        BAD = scratch_file("bad.xml", ERRORS_XML)
        MALFORMED = scratch_file("malformed.xml", MALFORMED_XML)
        result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=1, exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
