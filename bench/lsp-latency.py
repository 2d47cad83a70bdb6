#!/usr/bin/env python3
"""Latency of `kolt-settings lsp` on a large settings file, as an editor feels it.

Generates a settings file (scripts/gen-settings.py, about --mb MB), starts the server,
opens the file, then for --rounds rounds misspells a list name and spells it right again
with small incremental edits, timing each from sending the change to receiving the
diagnostics of that version; and times completion and hover requests. The server runs
with --debounce=0, so the figures are the work alone: in an editor, add the debounce
window (200 ms by default) to the diagnostics latency. Side by side, in the same run, it
times `kolt-settings check --format=json` on the same file (a process that loads and
explains it), so that the figures can be read as ratios on any machine.

    bench/lsp-latency.py --tool build-bench/tools/kolt-settings [--mb 1] [--rounds 30]

Not a test: nothing is judged, the figures are printed.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "tests"))
from lsp_client import Client  # noqa: E402

URI = "file:///bench/settings.xml"


def position_of(text, needle):
    """(line, UTF-16 character) of the last match of the pattern `needle`."""
    offset = [m.start() for m in re.finditer(needle, text)][-1]
    line = text.count("\n", 0, offset)
    start = text.rfind("\n", 0, offset) + 1
    return line, len(text[start:offset].encode("utf-16-le")) // 2


def errors(published):
    return sum(1 for d in published["diagnostics"] if d["severity"] == 1)


def summary(label, seconds):
    ms = sorted(s * 1000 for s in seconds)
    p90 = ms[min(len(ms) - 1, int(len(ms) * 0.9))]
    print("%-34s median %7.1f ms   p90 %7.1f ms   max %7.1f ms   (%d runs)"
          % (label, statistics.median(ms), p90, ms[-1], len(ms)))
    return statistics.median(ms)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True, help="the kolt-settings program")
    parser.add_argument("--mb", type=float, default=1.0)
    parser.add_argument("--rounds", type=int, default=30)
    parser.add_argument("--compact", action="store_true", help="a file of one line")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "settings.xml")
        generate = [sys.executable, os.path.join(ROOT, "scripts", "gen-settings.py"), "--mb", str(args.mb),
                    "--seed", "1", "-o", path] + (["--compact"] if args.compact else [])
        subprocess.run(generate, check=True)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        print("file: %d bytes, %d lines" % (len(text.encode()), text.count("\n") + 1), flush=True)

        checks = []
        for _ in range(max(3, args.rounds // 3)):
            start = time.perf_counter()
            subprocess.run([args.tool, "check", "--format=json", path], check=True, stdout=subprocess.DEVNULL)
            checks.append(time.perf_counter() - start)

        client = Client(args.tool, "--debounce=0")
        client.initialize()
        start = time.perf_counter()
        client.notify("textDocument/didOpen",
                      {"textDocument": {"uri": URI, "languageId": "xml", "version": 1, "text": text}})
        assert errors(client.diagnostics(URI, 1)) == 0  # warnings: the generator lists some items twice
        opened = time.perf_counter() - start

        # A list name (the last one), in its start and end tags: misspelt, then right again.
        line, character = position_of(text, "<Macro2Expand>")
        end_line, end_character = position_of(text, "</Macro2Expand>")
        # The last start tag of the file: completion and hover read the text up to the
        # cursor, so this is their worst case.
        last_line, last_character = position_of(text, "<[A-Za-z]")
        changes, version, now = [], 1, "Macro2Expand"
        for r in range(args.rounds * 2):
            version += 1
            wrong = r % 2 == 0
            new = "Macro2Expnd" if wrong else "Macro2Expand"
            # The end tag first: the start tag's position does not move. On the start tag's
            # line (a compact file), the end tag moves with the length of the name.
            shift = len(now) - len("Macro2Expand") if end_line == line else 0
            edits = [{"range": {"start": {"line": l, "character": c}, "end": {"line": l, "character": c + len(now)}},
                      "text": new} for l, c in ((end_line, end_character + 2 + shift), (line, character + 1))]
            now = new
            start = time.perf_counter()
            client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": version},
                                                     "contentChanges": edits})
            published = client.diagnostics(URI, version)
            changes.append(time.perf_counter() - start)
            assert errors(published) == (1 if wrong else 0), published

        # Completion right after the '<' of a start tag (the elements its parent takes),
        # and hover on the name: at the list name, and at the last start tag.
        timings = {}
        for label, (l, c) in (("at the list name", (line, character)), ("at the end", (last_line, last_character))):
            where = {"textDocument": {"uri": URI}, "position": {"line": l, "character": c + 1}}
            for _ in range(args.rounds):
                start = time.perf_counter()
                items = client.request("textDocument/completion", where)["result"]["items"]
                timings.setdefault("completion " + label, []).append(time.perf_counter() - start)
                assert items
                start = time.perf_counter()
                assert client.request("textDocument/hover", where)["result"]
                timings.setdefault("hover " + label, []).append(time.perf_counter() - start)
        client.finish()

    print()
    check = summary("check --format=json (process)", checks)
    summary("diagnostics after opening", [opened])
    change = summary("diagnostics after a change", changes)
    for label, seconds in timings.items():
        summary(label, seconds)
    complete = statistics.median(timings["completion at the end"]) * 1000
    print("\nratios to check: change %.2f, completion at the end %.2f" % (change / check, complete / check))
    print("targets: diagnostics within 100 ms of a change (after the debounce window), completion within 20 ms")


if __name__ == "__main__":
    main()
