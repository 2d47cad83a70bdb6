#!/usr/bin/env python3
"""End-to-end tests of kolt-settings: exit codes, every output format, hints, dumps."""

import argparse
import json
import os
import re
import stat
import pty
import subprocess
import sys
import tempfile
import unittest
import xml.dom.minidom

ARGS = None  # set in main()

LOADER_PREFIX = "--> Error while parsing SettingFile"
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

# What the loader writes for ERRORS_XML, byte for byte.
ERRORS_STDERR = (
    LOADER_PREFIX + ' in parseRunType, attribute Value for "TypeOfRun" is not valid\n' + DTD_LINE + "\n"
    " / Settings / RunType\n"
    + LOADER_PREFIX + ', attribute Value for "Report " should be either "true" or "false" (not "TRUE")\n'
    + DTD_LINE + "\n / Settings / ReportSet / Report\n"
    + LOADER_PREFIX + ", unexpected node\n" + DTD_LINE + "\n"
    " / Settings / OptionLists / Various_OptionLists / Macro2Expand\n"
    + LOADER_PREFIX + ", Call -> no MethodOrFunctionSign is defined or it is null\n" + DTD_LINE + "\n"
    " / Settings / OptionLists / Various_OptionLists / ProhibitedCalls / Call\n")

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


class Files:
    """A scratch folder for the files of one test."""

    def __init__(self, test):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)

    def write(self, name, text, mode="w"):
        path = os.path.join(self.dir.name, name)
        with open(path, mode) as f:
            f.write(text)
        return path


class ExitCodes(unittest.TestCase):
    def test_each_case(self):
        f = Files(self)
        clean = os.path.join(ARGS.examples, "settings.xml")
        bad = f.write("bad.xml", ERRORS_XML)
        malformed = f.write("malformed.xml", MALFORMED_XML)
        empty = f.write("empty.xml", "")
        warned = f.write("warned.xml", option_lists("Global_OptionLists", "<Macro2Expand/>"))
        missing = os.path.join(f.dir.name, "missing.xml")
        rows = [
            ("no command", [], 2),
            ("unknown command", ["lint"], 2),
            ("unknown option", ["check", "--fast", clean], 2),
            ("unknown format", ["check", "--format=xml", clean], 2),
            ("format without value", ["check", "--format"], 2),
            ("negative limit", ["check", "--max-diagnostics=-1", clean], 2),
            ("limit not a number", ["check", "--max-diagnostics", "ten", clean], 2),
            ("dump option on check", ["check", "--json", clean], 2),
            ("check option on dump", ["dump", "--format=gnu", clean], 2),
            ("two dump forms", ["dump", "--json", "--xml", clean], 2),
            ("help", ["--help"], 0),
            ("help after a command", ["check", "-h"], 0),
            ("version", ["--version"], 0),
            ("clean file", ["check", clean], 0),
            ("no FILE", ["check"], 2),
            ("standard input twice", ["check", "-", "-"], 2),
            ("stdin name without -", ["check", "--stdin-filename=a.xml", clean], 2),
            ("file with problems", ["check", bad], 1),
            ("clean and bad", ["check", clean, bad], 1),
            ("warnings only", ["check", warned], 0),
            ("warnings as errors", ["check", "--warnings-as-errors", warned], 1),
            ("clean, warnings as errors", ["check", "--warnings-as-errors", "--each", clean, clean], 0),
            ("missing file", ["check", missing], 2),
            ("directory", ["check", f.dir.name], 2),
            ("malformed", ["check", malformed], 1),
            ("empty file", ["check", empty], 1),
            ("bad then missing", ["check", bad, missing], 2),
            ("file named like an option", ["check", "--", "--fast"], 2),
            ("dump clean", ["dump", clean], 0),
            ("dump with problems", ["dump", bad], 1),
            ("dump missing", ["dump", clean, missing], 2),
            ("dump malformed", ["dump", "--json", malformed], 2),
            ("vocabulary", ["vocabulary", "--json"], 0),
            ("two vocabulary forms", ["vocabulary", "--json", "--dtd"], 2),
            ("vocabulary of a file", ["vocabulary", clean], 2),
        ]
        for fmt in ["default", "gnu", "json", "sarif", "legacy"]:
            rows += [("clean as " + fmt, ["check", "--format=" + fmt, clean], 0),
                     ("bad as " + fmt, ["check", "--format", fmt, bad], 1),
                     ("malformed as " + fmt, ["check", "--format=" + fmt, malformed], 1),
                     ("warnings as " + fmt, ["check", "--format=" + fmt, warned], 0)]
        for label, args, expected in rows:
            with self.subTest(label):
                code, out, err = run(*args)
                self.assertEqual(code, expected, err)
                if expected == 2 and args and args[0] in ("dump",):
                    self.assertEqual(out, "", "dump prints nothing when a file failed")
                if expected == 2 and label.startswith(("unknown", "negative", "limit", "dump option", "check option",
                                                       "two", "no command", "format", "no FILE", "standard",
                                                       "stdin")):
                    self.assertIn("kolt-settings --help", err)

    def test_unreadable_file(self):
        f = Files(self)
        path = f.write("locked.xml", settings(""))
        os.chmod(path, 0)
        if os.access(path, os.R_OK):
            self.skipTest("running with privileges that read any file")
        code, out, err = run("check", "--format=json", path)
        self.assertEqual(code, 2)
        [record] = json_lines(out)
        self.assertEqual(record["code"], "KT002")


class Texts(unittest.TestCase):
    def test_legacy_format_is_the_loaders_bytes(self):
        f = Files(self)
        bad = f.write("bad.xml", ERRORS_XML)
        code, out, err = run("check", "--format=legacy", bad)
        self.assertEqual((code, out, err), (1, "", ERRORS_STDERR))
        if ARGS.print_settings:
            p = subprocess.run([ARGS.print_settings, bad], capture_output=True)
            self.assertEqual(err.encode(), p.stderr, "the same bytes as a program calling the library")

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

    def test_version(self):
        code, out, _ = run("--version")
        self.assertRegex(out, r"^kolt-settings \d+\.\d+\.\d+\n$")

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

    def test_text_dump_of_the_example(self):
        code, out, err = run("dump")
        self.assertEqual((code, err), (0, ""))
        self.assertTrue(out.startswith("run type: 0\nreport test framework: 1\nreports: 6\n"))
        self.assertIn('string list ExcludeFramework: 2\n  "ThirdParty"\n  "GeneratedStubs"\n', out)
        self.assertIn('  MethodDetection name "Dump"; class (null); arguments 1; all classes 1; function 0;'
                      ' replacement "Print"; uses (none)\n', out)


class Gnu(unittest.TestCase):
    LINE = re.compile(r"^(.+):(\d+):(\d+): error: (.*) \[(K[ST]\d{3})\](?: at (/\S+))?$")

    def test_lines_and_columns_of_known_errors(self):
        f = Files(self)
        bad = f.write("bad.xml", ERRORS_XML)
        code, out, err = run("check", bad)
        self.assertEqual((code, out), (1, ""))
        got = []
        for line in err.splitlines():
            m = self.LINE.match(line)
            self.assertIsNotNone(m, line)
            self.assertEqual(m.group(1), bad)
            got.append((int(m.group(2)), int(m.group(3)), m.group(5)))
        self.assertEqual(got, ERRORS_AT)
        self.assertIn("at /Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[2]", err)

    def test_columns_count_characters(self):
        f = Files(self)
        path = f.write("s.xml", "\ufeff<Settings><ReportSet><!-- \u00e9\u00e9\u20ac --><Report/></ReportSet></Settings>",
                       mode="w")
        code, _, err = run("check", "--format=gnu", path)
        self.assertEqual(code, 1)
        self.assertIn(path + ":1:35: error: no MessageName defined for report [KS012]", err)


class JsonLines(unittest.TestCase):
    def test_records(self):
        f = Files(self)
        bad = f.write("bad.xml", ERRORS_XML)
        code, out, err = run("check", "--format=json", bad)
        self.assertEqual((code, err), (1, ""))
        records = json_lines(out)
        self.assertEqual([(r["line"], r["column"], r["code"]) for r in records], ERRORS_AT)
        for r in records:
            self.assertEqual(r["file"], bad)
            self.assertEqual(r["severity"], "error")
            self.assertTrue(r["legacyMessage"].startswith(LOADER_PREFIX))
            self.assertTrue(r["printedPath"].startswith(" / Settings / "))
            self.assertTrue(r["path"].startswith("/Settings/"))
            self.assertNotIn(LOADER_PREFIX, r["message"])
        self.assertEqual(records[0]["message"], "TypeOfRun is 'check'; its only value is 'Check'")
        self.assertEqual(records[1]["message"], "Activate is 'TRUE'; it takes 'true' or 'false'")
        self.assertEqual(records[2]["message"], "unexpected element 'Macro2Expand'")
        self.assertEqual(records[2]["hint"], "'Macro2Expand' belongs in 'Global_OptionLists'")
        self.assertEqual(records[3]["path"],
                         "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[2]")
        # The loader's three lines, put back together, are its output.
        rebuilt = "".join(r["legacyMessage"] + "\n" + DTD_LINE + "\n" + r["printedPath"] + "\n" for r in records)
        self.assertEqual(rebuilt, ERRORS_STDERR)

    def test_indexed_path_of_a_repeated_element(self):
        f = Files(self)
        calls = "".join("<Call><MethodOrFunctionSign>f%d</MethodOrFunctionSign></Call>" % i for i in range(16))
        path = f.write("s.xml", option_lists(
            "Various_OptionLists",
            "<ProhibitedCalls/><ProhibitedCalls>%s<Other/><Call/></ProhibitedCalls>" % calls))
        _, out, _ = run("check", "--format=json", path)
        self.assertEqual([r["path"] for r in json_lines(out) if "path" in r], [
            "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[2]/Other[1]",
            "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[2]/Call[17]",
        ])

    def test_files_that_do_not_load(self):
        f = Files(self)
        malformed = f.write("m.xml", MALFORMED_XML)
        missing = os.path.join(f.dir.name, "nope.xml")
        code, out, _ = run("check", "--format=json", malformed, missing, f.dir.name)
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
        f = Files(self)
        bad = f.write("bad.xml", ERRORS_XML)
        code, out, err = run("check", "--format=json", "--max-diagnostics=3", "--each", bad, bad)
        self.assertEqual(code, 1)
        self.assertEqual(len(json_lines(out)), 3)
        self.assertEqual(err, "kolt-settings: 5 more diagnostics not shown (--max-diagnostics=3)\n")
        code, out, err = run("check", "--format=legacy", "--max-diagnostics", "1", bad)
        self.assertEqual(out + err, ERRORS_STDERR.split(" / Settings / RunType\n")[0] + " / Settings / RunType\n"
                         "kolt-settings: 3 more diagnostics not shown (--max-diagnostics=1)\n")


class Hints(unittest.TestCase):
    ROWS = [
        # (label, document, code, hint)
        ("misplaced list", option_lists("Various_OptionLists", "<Macro2Expand/>"), "KS007",
         "'Macro2Expand' belongs in 'Global_OptionLists'"),
        ("misspelt list", option_lists("Global_OptionLists", "<Macro2Expnd/>"), "KS007",
         "did you mean 'Macro2Expand'?"),
        ("letter case", option_lists("Global_OptionLists", "<macro2expand/>"), "KS007",
         "did you mean 'Macro2Expand'? Letter case matters"),
        ("misspelt elsewhere", option_lists("Various_OptionLists", "<Macro2Expnd/>"), "KS007",
         "did you mean 'Macro2Expand'?; it belongs in 'Global_OptionLists'"),
        ("short prefix name", option_lists("EntityDetection_OptionLists", "<EntityDetection_Class/>"), "KS007",
         "did you mean 'EntityDetection_Classes'?"),
        ("prefix-named list misplaced", option_lists("Various_OptionLists", "<EntityDetection_WordsOld/>"),
         "KS007", "'EntityDetection_WordsOld' belongs in 'EntityDetection_OptionLists'"),
        ("item of another list", option_lists("Global_OptionLists", "<Macro2Expand><Call/></Macro2Expand>"), "KS007",
         "'Call' belongs in 'LifeCycle_SafeMethodsForMCBU', 'LifeCycle_UntrustableForMCBU2', "
         "'LifeCycle_DeleteMethods', 'MemoryManagement_NeutralMethods', ..."),
        ("first child decides", option_lists(
            "LifeCycle_OptionLists",
            "<LifeCycle_SafeMethodsForMCBU><Call><MethodOrFunctionSign>f</MethodOrFunctionSign></Call>"
            "<CallDeclaration/></LifeCycle_SafeMethodsForMCBU>"), "KS007",
         "the first child made this a list of 'Call' records"),
        ("top level", settings("<Runtype/>"), "KS001", "did you mean 'RunType'? Letter case matters"),
        ("group at top level", settings("<Global_OptionLists/>"), "KS001",
         "'Global_OptionLists' belongs in 'OptionLists'"),
        ("top-level element nested", option_lists("Global_OptionLists", "<ReportSet/>"), "KS007",
         "'ReportSet' belongs in the root element"),
        ("root element nested", settings("<OptionLists><Settings/></OptionLists>"), "KS007", None),
        ("attribute", settings("<ReportSet><Report MesageName='a'/></ReportSet>"), "KS006",
         "did you mean 'MessageName'?"),
        ("attribute far off", settings("<RunType Priority='1'/>"), "KS006",
         "'RunType' takes 'TypeOfRun' or 'ReportTestFw'"),
        ("value case", settings("<RunType ReportTestFw='True'/>"), "KS005",
         "did you mean 'true'? Letter case matters"),
        ("value far off", settings("<ReportSet><Report MessageName='a' Activate='yes'/></ReportSet>"), "KS011",
         None),
        ("run type", settings("<RunType TypeOfRun='check'/>"), "KS004",
         "did you mean 'Check'? Letter case matters"),
        ("class use", option_lists(
            "EntityDetection_OptionLists",
            "<EntityDetection_Classes><ClassDetection><ClassName>C</ClassName><ClassUseSet>"
            "<ClassUse use='Derivaton' prohibited='true'/><ClassUse use='New' prohibited='true'/>"
            "</ClassUseSet></ClassDetection></EntityDetection_Classes>"), "KS025",
         "did you mean 'Derivation'?"),
        ("use set of another kind", option_lists(
            "EntityDetection_OptionLists",
            "<EntityDetection_Interfaces><InterfaceDetection><ClassName>C</ClassName><InterfaceUseSet>"
            "<ClassUse use='TIE' prohibited='true'/><InterfaceUse use='TIE' prohibited='true'/>"
            "</InterfaceUseSet></InterfaceDetection></EntityDetection_Interfaces>"), "KS007",
         "'ClassUse' belongs in 'ClassUseSet'"),
    ]

    def test_rows(self):
        f = Files(self)
        for label, doc, code, hint in self.ROWS:
            with self.subTest(label):
                path = f.write("s.xml", doc)
                _, out, _ = run("check", "--format=json", path)
                records = [r for r in json_lines(out) if r["code"] == code]
                self.assertEqual(len(records), 1, out)
                self.assertEqual(records[0].get("hint"), hint)
                if hint:
                    _, _, err = run("check", path)
                    self.assertIn("; " + hint + " [" + code + "]", err)
                    _, _, err = run("check", "--format=legacy", path)
                    self.assertNotIn(hint, err, "the legacy format is the loader's alone")


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
        f = Files(self)
        for label, documents, status, lines in self.ROWS:
            with self.subTest(label):
                names = [f.write(name, text) and name for name, text in zip(["a.xml", "b.xml"], documents)]
                p = subprocess.run([ARGS.tool, "check", *names], capture_output=True, cwd=f.dir.name, timeout=60)
                self.assertEqual(p.stderr.decode().splitlines(), lines)
                self.assertEqual(p.returncode, status)
                legacy = run("check", "--format=legacy", *[os.path.join(f.dir.name, n) for n in names])[2]
                self.assertNotIn("[KW", legacy)


class Sarif(unittest.TestCase):
    def test_log(self):
        f = Files(self)
        bad = f.write("bad file.xml", ERRORS_XML)
        repeated = f.write("w.xml", option_lists("Global_OptionLists", "<Macro2Expand><Macro>M</Macro>\n"
                                                 "<Macro>M</Macro></Macro2Expand>"))
        code, out, err = run("check", "--format=sarif", bad, repeated)
        self.assertEqual((code, err), (1, ""))
        log = json.loads(out)
        self.assertEqual(log["version"], "2.1.0")
        self.assertIn("sarif", log["$schema"])
        [run_] = log["runs"]
        driver = run_["tool"]["driver"]
        self.assertEqual(driver["name"], "kolt-settings")
        rules = driver["rules"]
        ids = [r["id"] for r in rules]
        self.assertEqual(ids[:30], ["KS%03d" % i for i in range(1, 31)])
        self.assertEqual(len(ids), len(set(ids)))
        for r in rules:
            self.assertTrue(r["shortDescription"]["text"])
            self.assertEqual(r["defaultConfiguration"]["level"], "warning" if r["id"][:2] == "KW" else "error")
        results = run_["results"]
        expected = [(line, column, code_, "error") for line, column, code_ in ERRORS_AT] + [(2, 2, "KW006", "warning")]
        self.assertEqual(len(results), len(expected))
        for result, (line, column, code_, level) in zip(results, expected):
            self.assertEqual(result["ruleId"], code_)
            self.assertEqual(rules[result["ruleIndex"]]["id"], code_)
            self.assertEqual(result["level"], level)
            self.assertTrue(result["message"]["text"])
            [loc] = result["locations"]
            physical = loc["physicalLocation"]
            self.assertEqual(physical["region"], {"startLine": line, "startColumn": column})
            uri = physical["artifactLocation"]["uri"]
            self.assertTrue(uri.startswith("file:///") and " " not in uri, uri)
        self.assertTrue(results[0]["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
                        .endswith("/bad%20file.xml"))
        self.assertEqual(results[3]["locations"][0]["logicalLocations"][0]["fullyQualifiedName"],
                         "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[2]")
        [related] = results[4]["relatedLocations"]
        self.assertEqual(related["physicalLocation"]["region"], {"startLine": 1, "startColumn": 59})

    def test_clean_log_has_no_results(self):
        code, out, _ = run("check", "--format=sarif", os.path.join(ARGS.examples, "settings.xml"))
        self.assertEqual(code, 0)
        self.assertEqual(json.loads(out)["runs"][0]["results"], [])


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
        self.assertEqual(rules["EntityDetection_Classes"][0],
                         {"kind": "ClassDetection", "detectionType": "ClassDetection", "name": "OldString",
                          "replacement": "String", "uses": ["New", "Derivation"]})
        self.assertEqual(rules["EntityDetection_Methods"][1],
                         {"kind": "MethodDetection", "detectionType": "MethodDetection", "name": "strcpy",
                          "className": None, "argumentCount": 2, "allClasses": False, "function": True,
                          "replacement": "strlcpy", "uses": []})
        self.assertEqual(rules["EntityDetection_Words"][0]["detectionType"], "koltWordDetection")

    def test_files_load_in_order_into_one_manager(self):
        f = Files(self)
        a = f.write("a.xml", option_lists("Global_OptionLists", "<Macro2Expand><Macro>A</Macro></Macro2Expand>"))
        b = f.write("b.xml", option_lists("Global_OptionLists", "<Macro2Expand><Macro>B</Macro></Macro2Expand>"))
        _, out, _ = run("dump", "--json", b, a)
        self.assertEqual(json.loads(out)["stringLists"], [{"name": "Macro2Expand", "items": ["B", "A"]}])

    def test_xml_loads_back_into_the_same_state(self):
        f = Files(self)
        tricky = f.write("t.xml", settings(
            "<OptionLists><Various_OptionLists><UselessInclude><Include>&lt;vector&gt;</Include>"
            "<Include>a&amp;amp;b</Include></UselessInclude></Various_OptionLists>"
            "<EntityDetection_OptionLists><EntityDetection_MethodsOld><MethodDetection>"
            "<MethodOrFunctionSign>get Value (a, b)</MethodOrFunctionSign><ClassName>A&amp;B</ClassName>"
            "</MethodDetection></EntityDetection_MethodsOld></EntityDetection_OptionLists></OptionLists>"
            "<RunType ReportTestFw='true'><ExcludeFramework><FrameworkName> spaced </FrameworkName>"
            "</ExcludeFramework></RunType><ReportSet><Report MessageName='say \"x\"' Activate='true'/></ReportSet>"))
        for path in [os.path.join(ARGS.examples, "settings.xml"), tricky]:
            with self.subTest(path):
                code, xml, _ = run("dump", "--xml", path)
                self.assertEqual(code, 0)
                again = f.write("again.xml", xml)
                self.assertEqual(run("check", again)[0], 0)
                for form in ["--json", "--xml"]:
                    self.assertEqual(run("dump", form, again)[1], run("dump", form, path)[1])


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
        f = Files(self)
        for label, args, contents, status, stream, shown, parse in self.ROWS:
            with self.subTest(label):
                path = os.path.join(f.dir.name, self.NAME)
                if contents is not None:
                    f.write(self.NAME, contents, mode="wb")
                elif os.path.exists(path):
                    os.remove(path)
                p = subprocess.run([ARGS.tool, *args, self.NAME], capture_output=True, cwd=f.dir.name, timeout=60)
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
    global ARGS
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
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=1)


if __name__ == "__main__":
    main()
