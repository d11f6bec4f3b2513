#!/usr/bin/env python3
"""Runs the README's examples as a reader would: every ```sh and ```python block, in the order
they appear, in one fresh folder (later blocks use the files earlier ones made), against the
built programs and Python module. A block whose fence says `no-ci` (package installation, the
window, the build itself) is skipped and named; ```text blocks are shown output, ```json blocks
must parse. Code indented instead of fenced would escape the check, so it is refused.

usage: run_examples.py README.md BIN_FOLDER... [--pythonpath FOLDER]
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\S*)\s*(.*)$")
COMMANDS = {"sh": ["bash", "-euo", "pipefail", "-c"], "python": ["/usr/bin/python3", "-c"]}
SHOWN = {"text", "json"}
SKIP = "no-ci"


class ReadmeError(Exception):
    pass


def blocks(text):
    """(line, language, flags, code) of each fenced block, in order."""
    found, lines = [], text.splitlines()
    i, previous_blank = 0, True
    while i < len(lines):
        line = lines[i]
        fence = FENCE.match(line)
        if fence:
            language, flags = fence.group(1), fence.group(2).split()
            if language not in COMMANDS and language not in SHOWN:
                raise ReadmeError(f"line {i + 1}: a code block needs a language: sh, python, text or json")
            end = next((k for k in range(i + 1, len(lines)) if lines[k].startswith("```")), None)
            if end is None:
                raise ReadmeError(f"line {i + 1}: the code block is not closed")
            found.append((i + 1, language, flags, "\n".join(lines[i + 1:end]) + "\n"))
            i, previous_blank = end + 1, False
            continue
        if previous_blank and line.startswith("    ") and line.strip():
            raise ReadmeError(f"line {i + 1}: indented code runs in no test: fence it (```sh, ```python or ```text)")
        previous_blank = not line.strip()
        i += 1
    return found


def run(code, language, folder, env):
    """Runs one block; returns (exit status, its output). What it left running is stopped."""
    with tempfile.TemporaryFile("w+") as out:
        process = subprocess.Popen([*COMMANDS[language], code], cwd=folder, env=env, stdout=out,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        try:
            status = process.wait(timeout=600)
        except subprocess.TimeoutExpired:
            status = "timed out after 600 s"
        finally:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        out.seek(0)
        return status, out.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("readme")
    parser.add_argument("bin", nargs="+", help="folders of the programs, put first on PATH")
    parser.add_argument("--pythonpath", default="")
    args = parser.parse_args()
    with open(args.readme, encoding="utf-8") as f:
        try:
            examples = blocks(f.read())
        except ReadmeError as e:
            sys.exit(f"{args.readme}: {e}")
    # The README is for a Debian machine: its python3 is the system's, whose packages apt
    # installed, even where another python3 (a version manager's) comes first on PATH.
    path = [*map(os.path.abspath, args.bin), "/usr/bin", "/bin", os.environ.get("PATH", "")]
    env = dict(os.environ, PATH=os.pathsep.join(path))
    if args.pythonpath:
        env["PYTHONPATH"] = os.path.abspath(args.pythonpath)
    failed = ran = 0
    with tempfile.TemporaryDirectory(prefix="zuno-readme-") as folder:
        for line, language, flags, code in examples:
            if language == "json":
                try:
                    json.loads(code)
                except ValueError as e:
                    print(f"FAILED line {line}: the JSON example does not parse: {e}")
                    failed += 1
                continue
            if language in SHOWN:
                continue
            if SKIP in flags:
                print(f"skipped line {line} ({language}, {SKIP}): {code.splitlines()[0]}")
                continue
            status, output = run(code, language, folder, env)
            ran += 1
            if status != 0:
                failed += 1
                print(f"FAILED line {line} ({language}), status {status}:\n{code}--- output:\n{output[-4000:]}")
            else:
                print(f"ran line {line} ({language})")
    print(f"{ran} examples run, {failed} failed")
    if ran == 0:
        sys.exit("no example ran")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
