#!/usr/bin/env python3
"""kolt-settings in review and CI: diff end to end, the problem matcher applied to real
output, and the pre-commit hook tried offline on a scratch repository."""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None  # set in main()
SCRATCH = None

BAD = """<Settings>
  <RunType TypeOfRun="check"/>
  <OptionLists><Various_OptionLists><Macro2Expand/></Various_OptionLists></OptionLists>
</Settings>
"""


def run(*args, cwd=None, env=None):
    p = subprocess.run([ARGS.tool, *args], capture_output=True, cwd=cwd, env=env, timeout=120)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def scratch_file(name, text):
    path = os.path.join(SCRATCH, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    return path


def line_of(text, needle):
    return text[:text.index(needle)].count("\n") + 1


class Diff(unittest.TestCase):
    def test_two_versions_of_the_example(self):
        """One Call added, one Macro removed, a new comment and new indentation: two changes."""
        with open(os.path.join(ARGS.source, "examples", "settings.xml")) as f:
            old = f.read()
        removed = "        <Macro>SAFE_RELEASE</Macro>\n"
        added = "<Call><MethodOrFunctionSign>Dispose()</MethodOrFunctionSign></Call>"
        new = old.replace(removed, "", 1).replace(
            "<LifeCycle_DeleteMethods>\n", "<LifeCycle_DeleteMethods>\n<!-- new -->\n" + added + "\n", 1)
        new = "\n".join("\t" + line.strip() for line in new.splitlines()) + "\n"
        self.assertNotIn(removed, new)
        old_path, new_path = scratch_file("v1/settings.xml", old), scratch_file("v2/settings.xml", new)
        where = ["%s:%d:" % (old_path, line_of(old, removed)), "%s:%d:" % (new_path, line_of(new, added))]

        code, out, err = run("diff", old_path, "--", new_path)
        self.assertEqual((code, err), (1, ""))
        lines = out.splitlines()
        self.assertEqual(len(lines), 2, out)
        for line, at, what in zip(lines, where, ["Macro \"SAFE_RELEASE\"", "Call MethodOrFunctionSign=\"Dispose()\""]):
            self.assertTrue(line.startswith(at) and line.endswith(what), line)

        code, out, _ = run("diff", "--format=json", old_path, "--", new_path)
        changes = json.loads(out)["changes"]
        self.assertEqual([(c["change"], c["list"], (c["old"] or c["new"])["line"]) for c in changes],
                         [("itemRemoved", "LifeCycle_DeleteMacro", line_of(old, removed)),
                          ("itemAdded", "LifeCycle_DeleteMethods", line_of(new, added))])

        code, out, _ = run("diff", "--format=markdown", old_path, "--", new_path)
        rows = [l for l in out.splitlines() if l.startswith("| ") and "settings" in l]
        self.assertEqual((code, len(rows)), (1, 2), out)
        self.assertIn("SAFE\\_RELEASE", rows[0])

    def test_sides_and_exit_codes(self):
        example = os.path.join(ARGS.source, "examples", "settings.xml")
        a, b = (scratch_file(n + ".xml", "<Settings><OptionLists><Global_OptionLists><Macro2Expand><Macro>%s"
                                         "</Macro></Macro2Expand></Global_OptionLists></OptionLists></Settings>" % n)
                for n in "ab")
        malformed = scratch_file("malformed.xml", "<Settings>")
        rows = [
            ("several files a side, order not compared", [a, b, "--", b, a], 0),
            ("a file more", [a, "--", a, b], 1),
            ("no separator", [a, b], 2),
            ("empty side", [a, "--"], 2),
            ("unknown format", ["--format=html", a, "--", b], 2),
            ("missing file", [a, "--", os.path.join(SCRATCH, "missing.xml")], 2),
            ("not well-formed", [malformed, "--", example], 2),
        ]
        for label, args, status in rows:
            with self.subTest(label):
                code, out, err = run("diff", *args)
                self.assertEqual(code, status, err)
                if status == 2:
                    self.assertEqual(out, "")
                    self.assertTrue(err.startswith("kolt-settings: "), err)


class ProblemMatcher(unittest.TestCase):
    def test_regexp_reads_real_output(self):
        with open(os.path.join(ARGS.source, ".github", "kolt-settings-problem-matcher.json")) as f:
            [matcher] = json.load(f)["problemMatcher"]
        [pattern] = matcher["pattern"]
        # Constructs that JavaScript and Python read alike.
        self.assertNotRegex(pattern["regexp"], r"\(\?(<|P)")
        regexp = re.compile(pattern["regexp"])
        bad = scratch_file("bad settings.xml", BAD)
        missing = os.path.join(SCRATCH, "missing.xml")
        code, _, err = run("check", "--format=gnu", bad, missing)
        self.assertEqual(code, 2)
        found = []
        for line in err.splitlines():
            m = regexp.match(line)
            self.assertIsNotNone(m, line)
            found.append(tuple(m.group(pattern[k]) for k in ("file", "line", "column", "severity", "code")))
        self.assertEqual(found, [(bad, "2", "12", "error", "KS004"), (bad, "3", "38", "error", "KS007"),
                                 (missing, None, None, "error", "KT001")])
        # A message keeps its hint; a warning is read as one.
        hinted = [l for l in err.splitlines() if "; " in l][0].replace(" error: ", " warning: ")
        m = regexp.match(hinted)
        self.assertEqual(m.group(pattern["severity"]), "warning")
        self.assertIn("; ", m.group(pattern["message"]))
        self.assertNotIn("[KS", m.group(pattern["message"]))


class ExampleWorkflow(unittest.TestCase):
    def test_uses_the_matcher_and_widely_used_actions_only(self):
        try:
            import yaml
        except ImportError:
            self.skipTest("python3-yaml is not installed")
        with open(os.path.join(ARGS.source, "examples", "ci", "kolt-settings.yml")) as f:
            [job] = yaml.safe_load(f)["jobs"].values()
        uses = {s["uses"].split("@")[0] for s in job["steps"] if "uses" in s}
        self.assertEqual(uses, {"actions/checkout", "github/codeql-action/upload-sarif"})
        script = "\n".join(s.get("run", "") for s in job["steps"])
        for needed in ["::add-matcher::.kolt-settings/.github/kolt-settings-problem-matcher.json",
                       "check --format=sarif", "diff --format=markdown"]:
            self.assertIn(needed, script)


class PreCommitHook(unittest.TestCase):
    def test_try_repo_offline(self):
        if not ARGS.pre_commit:
            self.skipTest("pre-commit is not installed")
        repo = os.path.join(SCRATCH, "repo")
        os.makedirs(repo)
        env = dict(os.environ, PATH=os.path.dirname(os.path.abspath(ARGS.tool)) + os.pathsep + os.environ["PATH"],
                   PRE_COMMIT_HOME=os.path.join(SCRATCH, "pre-commit-home"), GIT_AUTHOR_NAME="t",
                   GIT_AUTHOR_EMAIL="t@example.invalid", GIT_COMMITTER_NAME="t",
                   GIT_COMMITTER_EMAIL="t@example.invalid", GIT_CONFIG_NOSYSTEM="1",
                   HOME=SCRATCH)

        def git(*args):
            subprocess.run(["git", *args], cwd=repo, env=env, check=True, capture_output=True)

        def hook():
            p = subprocess.run([ARGS.pre_commit, "try-repo", ARGS.source, "kolt-settings-check", "--all-files"],
                               cwd=repo, env=env, capture_output=True, timeout=300)
            return p.returncode, p.stdout.decode("utf-8") + p.stderr.decode("utf-8")

        git("init", "-q")
        shutil.copy(os.path.join(ARGS.source, "examples", "settings.xml"), os.path.join(repo, "settings.xml"))
        os.makedirs(os.path.join(repo, "conf"))
        with open(os.path.join(repo, "conf", "lint-settings.xml"), "w") as f:
            f.write(BAD)
        with open(os.path.join(repo, "pom.xml"), "w") as f:
            f.write("<project>not settings</project>")  # its name does not say settings
        git("add", "-A")
        code, out = hook()
        self.assertEqual(code, 1, out)
        self.assertIn("conf/lint-settings.xml:2:12: error:", out)
        self.assertNotIn("pom.xml", out)
        git("rm", "-q", "-f", "conf/lint-settings.xml")
        code, out = hook()
        self.assertEqual(code, 0, out)


def main():
    global ARGS, SCRATCH
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--source", required=True, help="the repository's root")
    parser.add_argument("--pre-commit", help="the pre-commit program; its test is skipped without it")
    ARGS, rest = parser.parse_known_args()
    ARGS.source = os.path.abspath(ARGS.source)
    with tempfile.TemporaryDirectory() as scratch:
        SCRATCH = scratch
        result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=1, exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
