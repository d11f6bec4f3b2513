#!/usr/bin/python3
"""Times zuno_fwd.generate() against zuno-gen --bench on the same settings, per frame.

    PYTHONPATH=build/test/python bench/generate_bench.py build/test/tools/zuno-gen [RUNS]

Prints the median and minimum of each and their ratio; run it on an otherwise idle machine.
"""
import json
import re
import statistics
import subprocess
import sys
import tempfile
import time

import zuno_fwd

CASES = {
    "defaults": {"OverSampling": 30},
    "traffic and MAC in every slot": {"OverSampling": 30, "DATAchnActive": 1, "MACchnActive": 1,
                                      "slot": {"DATAslotMod": [1, 2, 3] * 5 + [1]}},
}


def program_times(zuno_gen, settings, runs):
    with tempfile.NamedTemporaryFile("w", suffix=".json") as f:
        json.dump(settings, f)
        f.flush()
        out = subprocess.run([zuno_gen, "--params", f.name, "--seed", "1", "--bench", str(runs)],
                             capture_output=True, text=True, check=True).stdout
    median, minimum = re.search(r"median ([\d.]+) ms, minimum ([\d.]+) ms", out).groups()
    return float(median), float(minimum)


def module_times(settings, runs):
    zuno_fwd.generate(settings, seed=1)  # designs the filter once, as zuno-gen's first frame does
    ms = []
    for _ in range(runs):
        t0 = time.perf_counter()
        zuno_fwd.generate(settings, seed=1)
        ms.append((time.perf_counter() - t0) * 1e3)
    return statistics.median(ms), min(ms)


def main():
    zuno_gen = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for name, settings in CASES.items():
        gen_median, gen_min = program_times(zuno_gen, settings, runs)
        py_median, py_min = module_times(settings, runs)
        print(f"{name}: zuno-gen median {gen_median:.1f} ms (min {gen_min:.1f}), "
              f"generate() median {py_median:.1f} ms (min {py_min:.1f}), "
              f"ratio {py_median / gen_median:.2f} (min {py_min / gen_min:.2f})")


if __name__ == "__main__":
    main()
