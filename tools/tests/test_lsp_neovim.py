#!/usr/bin/env python3
"""kolt-settings lsp in a real editor: headless Neovim runs lsp/neovim.lua on a copy of
lsp/misspelt.xml, and what it saw must be lsp/neovim.expected, line for line."""

import argparse
import difflib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsp")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--nvim", default="nvim")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        settings = shutil.copy(os.path.join(HERE, "misspelt.xml"), work)
        seen = os.path.join(work, "seen.txt")
        # Neovim's state and logs go to the scratch folder, not the user's.
        env = dict(os.environ, XDG_CONFIG_HOME=work, XDG_STATE_HOME=work, XDG_CACHE_HOME=work,
                   XDG_DATA_HOME=work, KOLT_LSP_SERVER=os.path.abspath(args.tool),
                   KOLT_LSP_FILE=settings, KOLT_LSP_OUT=seen)
        run = subprocess.run([args.nvim, "--headless", "--clean", "-c", "luafile " + os.path.join(HERE, "neovim.lua")],
                             env=env, cwd=work, capture_output=True, text=True, timeout=120)
        got = open(seen).read().splitlines() if os.path.exists(seen) else []
        expected = open(os.path.join(HERE, "neovim.expected")).read().splitlines()
        if run.returncode != 0 or got != expected:
            sys.stdout.writelines(l + "\n" for l in difflib.unified_diff(expected, got, "expected", "seen", lineterm=""))
            print("nvim exited with %d\n%s%s" % (run.returncode, run.stdout, run.stderr))
            return 1
    print("Neovim saw what was expected (%d steps)" % len(expected))
    return 0


if __name__ == "__main__":
    sys.exit(main())
