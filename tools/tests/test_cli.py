#!/usr/bin/env python3
"""End-to-end tests of kolt-settings: exit codes, every output format, hints, dumps."""

import argparse
import json
import os
import pty
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


def run(*args, stdin=None):
    p = subprocess.run([ARGS.tool, *args], capture_output=True, input=stdin, timeout=60)
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
        warned = scratch_file("warned.xml", option_lists("Global_OptionLists", "<Macro2Expand/>"))
        missing = os.path.join(SCRATCH, "missing.xml")
        usage = [("no command", []), ("unknown command", ["lint"]), ("unknown option", ["check", "--fast"]),
                 ("limit not a number", ["check", "--max-diagnostics", "ten"]),
                 ("check option on dump", ["dump", "--format=gnu"]), ("two dump forms", ["dump", "--json", "--xml"]),
                 ("no FILE", ["check"]), ("standard input twice", ["check", "-", "-"]),
                 ("stdin name without -", ["check", "--stdin-filename=a.xml", clean])]
        rows = [(label, args, 2) for label, args in usage] + [
            ("help after a command", ["check", "-h"], 0),
            ("clean and bad", ["check", clean, BAD], 1),
            ("warnings only", ["check", warned], 0),
            ("warnings as errors", ["check", "--warnings-as-errors", warned], 1),
            ("clean, warnings as errors", ["check", "--warnings-as-errors", "--each", clean, clean], 0),
            ("missing file", ["check", missing], 2),
            ("directory", ["check", SCRATCH], 2),
            ("empty file", ["check", empty], 1),
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
        for fmt in ["default", "gnu", "json", "sarif", "legacy"]:
            rows += [("bad as " + fmt, ["check", "--format", fmt, BAD], 1),
                     ("malformed as " + fmt, ["check", "--format=" + fmt, MALFORMED], 1),
                     ("warnings as " + fmt, ["check", "--format=" + fmt, warned], 0)]
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
    def test_legacy_format_is_the_loaders_bytes(self):
        self.assertEqual(run("check", "--format=legacy", BAD), (1, "", ERRORS_STDERR))
        if ARGS.print_settings:
            p = subprocess.run([ARGS.print_settings, BAD], capture_output=True)
            self.assertEqual(ERRORS_STDERR.encode(), p.stderr, "the same bytes as a program calling the library")

    def test_help_is_the_manual(self):
        code, out, _ = run("--help")
        with open(ARGS.help_text) as f:
            self.assertEqual(out, f.read())
        with open(os.path.join(ARGS.docs, "kolt-settings.md")) as f:
            doc = f.read()
        block = re.search(r"<!-- help:begin -->\n```text\n(.*?)```\n<!-- help:end -->", doc, re.S)
        self.assertIsNotNone(block, "docs/kolt-settings.md quotes the help between help markers")
        self.assertEqual(block.group(1), out, "docs/kolt-settings.md must quote kolt-settings --help exactly;"
                         " rerun this test with --fix-manual to update it")

    def test_standard_input(self):
        code, _, err = run("check", "-", stdin=option_lists("Global_OptionLists", "<Macro2Expand/>").encode())
        self.assertEqual((code, err.split(":")[0]), (0, "<stdin>"))
        code, _, err = run("check", "--stdin-filename", "my.xml", "-", stdin=MALFORMED_XML.encode())
        self.assertEqual(code, 1)
        self.assertTrue(err.startswith("my.xml:3:3: error:"), err)

    def test_colour_only_on_a_terminal_without_no_color(self):
        for label, env, coloured in [("terminal", {}, True), ("NO_COLOR", {"NO_COLOR": "1"}, False),
                                     ("empty NO_COLOR", {"NO_COLOR": ""}, True)]:
            with self.subTest(label):
                main, terminal = pty.openpty()
                subprocess.run([ARGS.tool, "check", "-"], input=b"<Settings><Stray/></Settings>", stderr=terminal,
                               env=dict(os.environ, **env), timeout=60)
                os.close(terminal)
                text = os.read(main, 4096).decode()
                os.close(main)
                self.assertEqual("\x1b[1;31merror:\x1b[0m" in text, coloured, text)
                self.assertIn("[KS001]", text)

    def test_default_lines(self):
        code, out, err = run("check", BAD)
        self.assertEqual((code, out), (1, ""))
        line = re.compile(r"^(.+):(\d+):(\d+): error: .* \[(K[ST]\d{3})\](?: at (/\S+))?$")
        lines = [line.match(l) for l in err.splitlines()]
        self.assertEqual([(m.group(1), int(m.group(2)), int(m.group(3)), m.group(4)) for m in lines],
                         [(BAD,) + at for at in ERRORS_AT])
        self.assertEqual(lines[3].group(5), CALL_PATH)
        # Columns count characters, not bytes.
        path = scratch_file("utf8.xml", "\ufeff" + settings("<ReportSet><!-- \u00e9\u00e9\u20ac --><Report/>"
                                                          "</ReportSet>"))
        self.assertIn(path + ":1:35: error: no MessageName defined for report [KS012]", run("check", path)[2])

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
        m, x, _, n, d = json_lines(out)
        self.assertEqual((x["code"], x["line"], x["column"], x["message"]),
                         ("KX002", 3, 12, "Opening and ending tag mismatch: RunType line 2 and Settings"))
        self.assertEqual((m["code"], m["line"], m["column"], m["message"]),
                         ("KT003", 3, 3, "the checker's parser cannot read the file (Start-end tags mismatch): "
                                         "the checker reads nothing from it"))
        self.assertEqual((n["code"], n["file"], n["line"], n["column"]), ("KT001", missing, None, None))
        self.assertIn("No such file", n["message"])
        self.assertEqual((d["code"], d["message"]), ("KT001", "cannot check: is a directory"))

    def test_max_diagnostics(self):
        code, out, err = run("check", "--format=json", "--max-diagnostics=3", "--each", BAD, BAD)
        self.assertEqual((code, len(json_lines(out))), (1, 3))
        self.assertEqual(err, "kolt-settings: 5 more diagnostics not shown (--max-diagnostics=3)\n")
        first = ERRORS_STDERR[:ERRORS_STDERR.index(" / Settings / RunType\n")] + " / Settings / RunType\n"
        self.assertEqual(run("check", "--format=legacy", "--max-diagnostics", "1", BAD)[1:],
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
                    self.assertIn("; " + hint + " [" + code + "]", run("check", path)[2])
                    self.assertNotIn(hint, run("check", "--format=legacy", path)[2], "the legacy format is the loader's alone")


def group(name, *lines):
    """A document whose group `name` holds `lines`, from line 3 on."""
    return "<Settings><OptionLists>\n<%s>\n%s\n</%s>\n</OptionLists></Settings>\n" % (name, "\n".join(lines), name)


def reports(*lines):
    """A document whose ReportSet holds `lines`, from line 2 on."""
    return "<Settings><ReportSet>\n%s\n</ReportSet></Settings>\n" % "\n".join(lines)


ARG = "<CallWithSpecificArg><MethodOrFunctionSign>%s</MethodOrFunctionSign><SpecificArg>%s</SpecificArg></CallWithSpecificArg>"
MACROS = "<Macro2Expand>%s</Macro2Expand>"
ACTIVE, INACTIVE = '<Report MessageName="Leak" Activate="true"/>', '<Report MessageName="Leak" Activate="false"/>'
RULE = ("<EntityDetection_Classes%s><ClassDetection><ClassName>C</ClassName><ClassUseSet><ClassUse use='%s' "
        "prohibited='true'/></ClassUseSet></ClassDetection></EntityDetection_Classes%s>")


class Warnings(unittest.TestCase):
    ROWS = [
        # (label, the files checked in turn, exit status, the default format's lines)
        ("SpecificArg", [group("SuspiciousAlloc_OptionLists", "<SuspiciousAlloc_Methods>" + ARG % ("f", "2nd"),
                                ARG % ("g", "99999999999") + "</SuspiciousAlloc_Methods>")], 0,
         ["a.xml:3:106: warning: SpecificArg '2nd' is read as 2; write the position in decimal digits only [KW001]",
          "a.xml:4:81: warning: SpecificArg '99999999999' is read as 2147483647; write the position in decimal digits"
          " only [KW001]"]),
        ("blanks", [group("Global_OptionLists", MACROS % "<Macro> SAFE_DELETE\n</Macro>")], 0,
         ["a.xml:3:22: warning: Macro ' SAFE_DELETE\\x0a' keeps the blanks at its start and end; the checker compares"
          " texts as written: remove the blanks [KW002]"]),
        ("text in pieces", [group("Global_OptionLists", MACROS % "<Macro>A<!-- c -->B</Macro>")], 0,
         ["a.xml:3:23: warning: Macro is read as 'A': a comment splits its text, and the rest is dropped; write the"
          " text in one piece: move the comment out of the element [KW003]"]),
        ("character reference", [group("Global_OptionLists", MACROS % "<Macro>&#65;</Macro>")], 0,
         ["a.xml:3:22: warning: Macro keeps '&#65;' as written, not as 'A'; the loader decodes no character"
          " reference: write the character itself [KW004]"]),
        ("entity reference", [group("Global_OptionLists", MACROS % "<Macro>&nbsp;</Macro>"),
                              reports('<Report MessageName="A&amp;B" Activate="true"/>')], 1,
         ["a.xml:3:22: warning: Macro keeps '&nbsp;' as written; the loader decodes only &amp; &lt; &gt; &quot;"
          " &apos;: write the character itself [KW005]",
          "a.xml:3:28: error: Entity 'nbsp' not defined [KX005]",
          "b.xml:2:23: warning: MessageName keeps '&amp;' as written; MessageName is taken exactly as written: write"
          " the name without references [KW005]"]),
        ("item twice, in one file and across files",
         [group("Global_OptionLists", MACROS % "<Macro>X</Macro><Macro>X</Macro>"),
          group("Global_OptionLists", MACROS % "<Macro>X</Macro>")], 0,
         ["a.xml:3:32: warning: 'X' is listed twice in 'Macro2Expand'; the list holds it twice: remove one [KW006]",
          "a.xml:3:16: note: listed first here",
          "b.xml:3:16: warning: 'X' is listed twice in 'Macro2Expand'; the list holds it twice: remove one [KW006]",
          "a.xml:3:16: note: listed first here"]),
        ("longer name", [group("EntityDetection_OptionLists", RULE % ("s", "New", "s"))], 0,
         ["a.xml:3:2: warning: detection list 'EntityDetection_Classess' is a list of its own;"
          " 'EntityDetection_Classess' is registered under its own name; the checker asks for"
          " 'EntityDetection_Classes' [KW007]"]),
        ("Activate false, in one file and across files", [reports(ACTIVE, INACTIVE), reports(INACTIVE)], 0,
         ["a.xml:3:28: warning: report 'Leak' stays active: Activate=\"false\" switches nothing off; loads only ever"
          " switch reports on: remove the activation instead [KW008]",
          "a.xml:2:9: note: activated here",
          "b.xml:2:28: warning: report 'Leak' stays active: Activate=\"false\" switches nothing off; loads only ever"
          " switch reports on: remove the activation instead [KW008]",
          "a.xml:2:9: note: activated here"]),
        ("false before true", [reports(INACTIVE, ACTIVE)], 0, []),
        ("empty list", [group("Global_OptionLists", "<MacroWithSemicolon>DECLARE</MacroWithSemicolon>")], 0,
         ["a.xml:3:2: warning: list 'MacroWithSemicolon' is empty; its text is no item: write <Macro>DECLARE</Macro>"
          " [KW009]"]),
        ("rule without a use", [group("EntityDetection_OptionLists", RULE % ("", "TIE", ""))], 1,
         ["a.xml:3:27: error: \"TIE\" is not a valid class use; a class rule permits 'Derivation',"
          " 'MethodOrFunctionArgument', 'DataMemberOrLocalVar', 'CastInto', 'IncludeOfHeader', 'New' or"
          " 'StaticMember' [KS025] at /Settings/OptionLists[1]/EntityDetection_OptionLists[1]/"
          "EntityDetection_Classes[1]/ClassDetection[1]",
          "a.xml:3:27: warning: ClassDetection 'C' is kept without a use: every prohibited use was refused, and it"
          " reports nothing; classes permit 'Derivation', 'MethodOrFunctionArgument', 'DataMemberOrLocalVar',"
          " 'CastInto', 'IncludeOfHeader', 'New', 'StaticMember' [KW010]"]),
    ]

    def test_rows(self):
        for label, documents, status, lines in self.ROWS:
            with self.subTest(label):
                names = [scratch_file(name, text) and name for name, text in zip(["a.xml", "b.xml"], documents)]
                p = subprocess.run([ARGS.tool, "check", *names], capture_output=True, cwd=SCRATCH, timeout=60)
                self.assertEqual(p.stderr.decode().splitlines(), lines)
                self.assertEqual(p.returncode, status)
                legacy = run("check", "--format=legacy", *[os.path.join(SCRATCH, n) for n in names])[2]
                self.assertNotIn("[KW", legacy)


class Sarif(unittest.TestCase):
    def test_log(self):
        bad = scratch_file("bad file.xml", ERRORS_XML)
        repeated = scratch_file("w.xml", option_lists("Global_OptionLists", "<Macro2Expand><Macro>M</Macro>\n"
                                                      "<Macro>M</Macro></Macro2Expand>"))
        code, out, err = run("check", "--format=sarif", bad, repeated)
        self.assertEqual((code, err), (1, ""))
        log = json.loads(out)
        self.assertEqual(log["version"], "2.1.0")
        [run_] = log["runs"]
        self.assertEqual(run_["tool"]["driver"]["name"], "kolt-settings")
        rules = run_["tool"]["driver"]["rules"]
        self.assertEqual([r["id"] for r in rules[:30]], ["KS%03d" % i for i in range(1, 31)])
        for r in rules:
            self.assertEqual(r["defaultConfiguration"]["level"], "warning" if r["id"][:2] == "KW" else "error")
        results = run_["results"]
        expected = [(line, column, code_, "error") for line, column, code_ in ERRORS_AT] + [(2, 2, "KW006", "warning")]
        self.assertEqual(len(results), len(expected))
        for result, (line, column, code_, level) in zip(results, expected):
            self.assertEqual((result["ruleId"], rules[result["ruleIndex"]]["id"], result["level"]), (code_, code_, level))
            [loc] = result["locations"]
            self.assertEqual(loc["physicalLocation"]["region"], {"startLine": line, "startColumn": column})
        uri = results[0]["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
        self.assertTrue(uri.startswith("file:///") and uri.endswith("/bad%20file.xml"), uri)
        self.assertEqual(results[3]["locations"][0]["logicalLocations"][0]["fullyQualifiedName"], CALL_PATH)
        [related] = results[4]["relatedLocations"]
        self.assertEqual(related["physicalLocation"]["region"], {"startLine": 1, "startColumn": 59})
        code, out, _ = run("check", "--format=sarif", os.path.join(ARGS.examples, "settings.xml"))
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
    WARNED = b"<Settings><OptionLists><Global_OptionLists><Macro2Expand><Macro> a\xc2\x9b ##vso[x]y </Macro>" \
             b"</Macro2Expand></Global_OptionLists></OptionLists></Settings>"
    UNSAFE = re.compile("[\x00-\x08\x0b-\x1f\x7f-\x9f\u2028-\u202e\u2066-\u2069]|##[A-Za-z]*\\[|^\\s*::", re.M)
    ROWS = [
        # (label, arguments before the file, its contents (None: missing), exit status,
        #  the stream to look at, what it shows instead, a parser it must satisfy)
        ("default", ["check"], DIAGNOSED, 1, "err", "\\x3a:error::x\\x1b[2J.xml:1:", None),
        ("default, a warning", ["check"], WARNED, 0, "err", "' a\\xc2\\x9b \\x23#vso[x]y ' keeps", None),
        ("gnu", ["check", "--format=gnu"], DIAGNOSED, 1, "err", "'Unknown\\xc2\\x9b\\xff'", None),
        ("json", ["check", "--format=json"], DIAGNOSED, 1, "out", "\\u001b[2J\\u009b\\ufffd \\u0023#vso[", json_lines),
        ("sarif", ["check", "--format=sarif"], DIAGNOSED, 1, "out", "'Unknown\\u009b\\ufffd'", json.loads),
        ("default, a file that does not load", ["check"], None, 2, "err", "x\\x1b[2J.xml: error: cannot check", None),
        ("legacy, a file that does not load", ["check", "--format=legacy"], None, 2, "err",
         "kolt-settings: ::error::x\\x1b[2J.xml: cannot check", None),
        ("dump text", ["dump"], CLEAN, 0, "out", '"r\\x1b[1m\\x23#[error]x"', None),
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
        rules = json.loads(run("check", "--format=sarif", os.path.join(ARGS.examples, "settings.xml"))[1])
        rules = rules["runs"][0]["tool"]["driver"]["rules"]
        for rule in rules:
            code, summary = rule["id"], rule["shortDescription"]["text"]
            if code.startswith(("KS", "KW")):
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
