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


def run(*args, stdin=None, cwd=None):
    """Runs kolt-settings; a SARIF log it writes is checked (check_sarif)."""
    p = subprocess.run([ARGS.tool, *args], capture_output=True, input=stdin, cwd=cwd, timeout=60)
    out = p.stdout.decode("utf-8")
    if "--format=sarif" in args or ("--format", "sarif") in zip(args, args[1:]):
        check_sarif(out)
    return p.returncode, out, p.stderr.decode("utf-8")


SARIF_SCHEMA = None  # a validator of the SARIF 2.1.0 schema, when main() found one
SARIF_LOGS = 0  # how many SARIF logs were checked


def check_sarif(text):
    """Validates a SARIF log against the SARIF 2.1.0 schema, then checks what code-scanning
    services require beyond it:
    - at most 20 runs; the driver has a name; its rules have distinct ids, each with a
      shortDescription, a fullDescription and help (text and Markdown) that are not empty,
      an absolute helpUri and a default level;
    - the run states its columnKind, and SRCROOT as an absolute file URI ending in '/';
    - at most 25,000 results; each with a ruleId that rules[ruleIndex] has, a level among
      error, warning and note, a message text, one location, and partialFingerprints;
    - every location (at most 1,000 a result, related ones included) has a percent-encoded
      artifact URI, relative to SRCROOT or an absolute file URI, and a region from
      startLine 1 on that does not end before it starts."""
    global SARIF_LOGS
    log = json.loads(text)
    if SARIF_SCHEMA:
        SARIF_SCHEMA.validate(log)
    SARIF_LOGS += 1
    assert 1 <= len(log["runs"]) <= 20
    for run_ in log["runs"]:
        driver = run_["tool"]["driver"]
        assert driver["name"]
        rules = driver["rules"]
        assert len({r["id"] for r in rules}) == len(rules)
        for r in rules:
            texts = [r["shortDescription"]["text"], r["fullDescription"]["text"], r["help"]["text"],
                     r["help"]["markdown"]]
            assert all(texts), "%s: the settings guide explains it under another summary, or not at all" % r["id"]
            assert re.match(r"[a-z][a-z0-9+.-]*:.*#%s$" % r["id"].lower(), r["helpUri"]), r["helpUri"]
            assert r["defaultConfiguration"]["level"] in ("error", "warning", "note")
        assert run_["columnKind"] in ("unicodeCodePoints", "utf16CodeUnits")
        assert re.match(r"file:///[\w.~%/-]*/$", run_["originalUriBaseIds"]["SRCROOT"]["uri"])
        assert len(run_["results"]) <= 25000
        for result in run_["results"]:
            assert rules[result["ruleIndex"]]["id"] == result["ruleId"]
            assert result["level"] in ("error", "warning", "note") and result["message"]["text"]
            assert len(result["locations"]) == 1 and result["partialFingerprints"]
            related = result.get("relatedLocations", [])
            assert 1 + len(related) <= 1000
            for loc in result["locations"] + related:
                artifact, region = loc["physicalLocation"]["artifactLocation"], loc["physicalLocation"]["region"]
                pattern = r"[\w.~%-][\w.~%/-]*" if artifact.get("uriBaseId") == "SRCROOT" else r"file:///[\w.~%/-]*"
                assert re.fullmatch(pattern, artifact["uri"], re.A), artifact
                assert region["startLine"] >= 1
                if "endLine" in region:
                    assert (region["endLine"], region["endColumn"]) > (region["startLine"], region["startColumn"])
    return log


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
                 ("stdin name without -", ["check", "--stdin-filename=a.xml", clean]),
                 ("source root not a folder", ["check", "--source-root", clean, clean])]
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


def read_cases(name):
    """The cases of a .cases file beside this one, each {"name": ..., section: its text}."""
    cases, section = [], None
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), name)) as f:
        for line in f.read().splitlines():
            if line.startswith("=== "):
                cases.append({"name": line[4:]})
            elif line.startswith("--- ") and cases:
                section = line[4:]
                cases[-1][section] = ""
            elif cases and section:
                cases[-1][section] += line + "\n"
    for case in cases:  # trailing blank lines dropped, as in tests/golden
        for key in set(case) - {"name"}:
            case[key] = case[key].rstrip("\n") + "\n" if case[key].strip() else ""
    return cases


class Hints(unittest.TestCase):
    def test_cases(self):
        """hints.cases: a document, the code of its one diagnostic of that code, and the hint."""
        cases = read_cases("hints.cases")
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


class Warnings(unittest.TestCase):
    def test_cases(self):
        """warnings.cases: the files checked in turn, the exit status and the default format's lines."""
        cases = read_cases("warnings.cases")
        self.assertGreater(len(cases), 10)
        for case in cases:
            with self.subTest(case["name"]):
                names = [scratch_file(name, case[name]) and name for name in ["a.xml", "b.xml"] if name in case]
                p = subprocess.run([ARGS.tool, "check", *names], capture_output=True, cwd=SCRATCH, timeout=60)
                self.assertEqual(p.stderr.decode(), case["lines"])
                self.assertEqual(p.returncode, int(case["exit status"]))
                legacy = run("check", "--format=legacy", *[os.path.join(SCRATCH, n) for n in names])[2]
                self.assertNotIn("[KW", legacy)


class Sarif(unittest.TestCase):
    def log(self, *args, cwd=None):
        code, out, err = run("check", "--format=sarif", *args, cwd=cwd)
        return code, json.loads(out)["runs"][0], err

    def test_log(self):
        os.makedirs(os.path.join(SCRATCH, "sub dir"), exist_ok=True)
        scratch_file("sub dir/bad file.xml", ERRORS_XML)
        scratch_file("w.xml", option_lists("Global_OptionLists", "<Macro2Expand><Macro>M</Macro>\n"
                                           "<Macro>M</Macro></Macro2Expand>"))
        code, run_, err = self.log("sub dir/bad file.xml", "w.xml", "missing.xml", cwd=SCRATCH)
        self.assertEqual((code, err), (2, ""))
        self.assertEqual(run_["originalUriBaseIds"]["SRCROOT"]["uri"], "file://%s/" % os.path.realpath(SCRATCH))
        rules = run_["tool"]["driver"]["rules"]
        self.assertEqual([r["id"] for r in rules[:30]], ["KS%03d" % i for i in range(1, 31)])
        self.assertEqual([r["defaultConfiguration"]["level"] for r in rules if r["id"][:2] == "KW"], ["warning"] * 10)
        # Each rule's help is the guide's section, or its table row and what the table's section says first.
        help_ = {r["id"]: r["help"]["markdown"] for r in rules}
        self.assertTrue(help_["KS001"].startswith("`--> Error while parsing SettingFile in createFromXmlFile` foll"))
        self.assertEqual(help_["KT002"].split("\n\n")[:2], ["The file cannot be read.", "Fix: check its permissions."])
        self.assertIn("`kolt-settings check` reports these as errors", help_["KX009"])
        # Regions end past the element's name, the whole attribute; a file that cannot be read is line 1.
        expected = [("sub%20dir/bad%20file.xml", line, column, end, code_)
                    for (line, column, code_), end in zip(ERRORS_AT, [29, 44, 20, 14])]
        expected += [("w.xml", 2, 2, 7, "KW006"), ("missing.xml", 1, None, None, "KT001")]
        got = [(loc["artifactLocation"]["uri"], loc["region"]["startLine"], loc["region"].get("startColumn"),
                loc["region"].get("endColumn"), r["ruleId"])
               for r in run_["results"] for loc in [r["locations"][0]["physicalLocation"]]]
        self.assertEqual(got, expected)
        self.assertEqual([r["level"] for r in run_["results"]], ["error"] * 4 + ["warning", "error"])
        self.assertEqual(run_["results"][3]["locations"][0]["logicalLocations"][0]["fullyQualifiedName"], CALL_PATH)
        [related] = run_["results"][4]["relatedLocations"]
        self.assertEqual(related["physicalLocation"]["region"], {"startLine": 1, "startColumn": 59})
        # Files outside the source root keep absolute URIs.
        _, run_, _ = self.log("--source-root", "sub dir", "sub dir/bad file.xml", "w.xml", cwd=SCRATCH)
        self.assertEqual({r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"] for r in run_["results"]},
                         {"bad%20file.xml", "file://%s/w.xml" % os.path.realpath(SCRATCH)})

    def test_fingerprints_survive_unrelated_edits(self):
        def prints(text):
            results = self.log(scratch_file("f.xml", text))[1]["results"]
            return [(r["ruleId"], r["partialFingerprints"]["findingHash/v1"],
                     r["locations"][0]["physicalLocation"]["region"]["startLine"]) for r in results]

        for text, (old, new), changed in [(ERRORS_XML, ("Macro2Expand>", "MacroToExpand>"), ["KS007"]),
                                          (MALFORMED_XML, ("RunType>", "ReportSet>"), ["KX002"])]:
            with self.subTest(changed[0]):
                before = prints(text)
                moved = prints(text.replace("<Settings>\n", "<Settings>\n<!-- lines above -->\n<ReportSet/>\n\n"))
                self.assertEqual([(c, p, line + 3) for c, p, line in before], moved)
                edited = prints(text.replace(old, new))
                self.assertEqual([c for (c, p, _), (_, q, _) in zip(before, edited) if p != q], changed)

    def test_results_past_the_limit(self):
        code, run_, err = self.log("--max-diagnostics=1", BAD)
        self.assertEqual((code, len(run_["results"])), (1, 1))
        [note] = run_["invocations"][0]["toolExecutionNotifications"]
        self.assertEqual(note["message"]["text"], "3 more results left out (--max-diagnostics=1)")
        self.assertEqual(err, "kolt-settings: 3 more diagnostics not shown (--max-diagnostics=1)\n")


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
                code, out, err = run(*args, self.NAME, cwd=SCRATCH)
                text = out if stream == "out" else err
                self.assertEqual(code, status, err)
                self.assertIn(shown, text)
                self.assertIsNone(self.UNSAFE.search(text), text)
                if parse:
                    parse(text)


class Docs(unittest.TestCase):
    # Every code's explanation comes from the guide: check_sarif finds it in every log.
    def test_guide_explains_every_element(self):
        with open(os.path.join(ARGS.docs, "settings-guide.md")) as f:
            guide = f.read()
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
    parser.add_argument("--sarif-schema", help="the SARIF 2.1.0 JSON schema; without it, or without python3-jsonschema,"
                        " SARIF logs are not validated unless KOLT_REQUIRE_SARIF_SCHEMA is set")
    parser.add_argument("--fix-manual", action="store_true")
    ARGS, rest = parser.parse_known_args()
    if ARGS.fix_manual:
        fix_manual()
        return
    global SARIF_SCHEMA
    try:
        import jsonschema
        with open(ARGS.sarif_schema or "(no --sarif-schema)") as f:
            schema = json.load(f)
        SARIF_SCHEMA = jsonschema.validators.validator_for(schema)(schema)  # draft-07, as its $schema says
    except (ImportError, OSError) as e:
        if os.environ.get("KOLT_REQUIRE_SARIF_SCHEMA"):
            sys.exit("SARIF logs cannot be validated: %s" % e)
        print("SARIF logs are not validated against the schema: %s" % e, file=sys.stderr)
    with tempfile.TemporaryDirectory() as scratch:
        SCRATCH = scratch
        BAD = scratch_file("bad.xml", ERRORS_XML)
        MALFORMED = scratch_file("malformed.xml", MALFORMED_XML)
        result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=1, exit=False).result
    print("%d SARIF logs %s" % (SARIF_LOGS, "validated" if SARIF_SCHEMA else "checked without the schema"))
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
