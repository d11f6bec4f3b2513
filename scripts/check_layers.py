#!/usr/bin/env python3
"""Checks that every #include between the source folders points down the layers.

A folder may include itself and any folder of a lower layer, never one of its own layer or
above. The Qt-free folders may not include Qt or the Qt host. Tests, benchmarks and fuzz
targets sit above everything and are not checked. Exits 1 naming each include that breaks the
rule, so that a new upward arrow fails the build's tests.
"""
import pathlib
import re
import sys

# Lowest first. The same picture is drawn in the README.
LAYERS = [
    ["dsp", "host"],                         # numeric tools; the host runtime
    ["engine", "hwio"],                      # the waveform engine; the instrument I/O component
    ["analyzer"],                            # the analyzer
    ["model"],                               # the shared model: records, settings, files, calculate
    ["editors", "instrument", "plots"],      # windows and the link operations over the model
    ["app", "tools", "python"],              # the programs and the Python module
]
QT_FREE = ["dsp", "engine", "analyzer", "host/core", "hwio", "model", "instrument/core", "plots/core",
           "tools", "python"]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def layer_of(folder):
    for i, names in enumerate(LAYERS):
        if folder in names:
            return i
    return None


def main(root):
    root = pathlib.Path(root)
    faults = []
    for i, names in enumerate(LAYERS):
        for folder in names:
            for path in sorted((root / folder).rglob("*")):
                if path.suffix not in (".h", ".cpp") or not path.is_file():
                    continue
                rel = path.relative_to(root).as_posix()
                qt_free = any(rel.startswith(q + "/") for q in QT_FREE)
                for bracket, target in INCLUDE.findall(path.read_text(errors="replace")):
                    if qt_free and (target.startswith("host/qt/") or re.match(r"Q[A-Za-z]*(/|$)", target)):
                        faults.append(f"{rel}: includes {target}, but {folder} is free of Qt")
                    if bracket != '"' or "/" not in target:
                        continue
                    to = target.split("/")[0]
                    j = layer_of(to)
                    if j is None or to == folder:
                        continue
                    if j >= i:
                        faults.append(f"{rel}: includes {target}, but {to} is not below {folder}")
    for f in faults:
        print(f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent))
