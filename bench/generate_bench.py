#!/usr/bin/python3
"""Times zuno_fwd.generate() against zuno-gen --bench on the same settings, per frame.

    PYTHONPATH=build/test/python bench/generate_bench.py build/test/tools/zuno-gen [RUNS]

Prints the median wall time of each (zuno-gen's own --bench figure) and the processor time per
frame, which a machine shared with other work disturbs less, with their ratios.
"""
import json
import os
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


def children_cpu_seconds(args):
    before = os.times()
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    after = os.times()
    return after.children_user - before.children_user + after.children_system - before.children_system, out


def program_times(zuno_gen, settings, runs):
    """(median wall ms, processor ms) per frame of zuno-gen --bench."""
    with tempfile.NamedTemporaryFile("w", suffix=".json") as f:
        json.dump(settings, f)
        f.flush()
        one = [zuno_gen, "--params", f.name, "--seed", "1"]
        cpu_one, _ = children_cpu_seconds(one)
        cpu_all, out = children_cpu_seconds(one + ["--bench", str(runs)])
    median = float(re.search(r"median ([\d.]+) ms", out).group(1))
    return median, (cpu_all - cpu_one) / runs * 1e3


def module_times(settings, runs):
    """(median wall ms, processor ms) per frame of generate()."""
    zuno_fwd.generate(settings, seed=1)  # designs the filter once, as zuno-gen's first frame does
    wall = []
    cpu0 = time.process_time()
    for _ in range(runs):
        t0 = time.perf_counter()
        zuno_fwd.generate(settings, seed=1)
        wall.append((time.perf_counter() - t0) * 1e3)
    return statistics.median(wall), (time.process_time() - cpu0) / runs * 1e3


def main():
    zuno_gen = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    for name, settings in CASES.items():
        gen_wall, gen_cpu = program_times(zuno_gen, settings, runs)
        py_wall, py_cpu = module_times(settings, runs)
        print(f"{name}: median zuno-gen {gen_wall:.1f} ms, generate() {py_wall:.1f} ms, ratio {py_wall / gen_wall:.2f}; "
              f"processor zuno-gen {gen_cpu:.1f} ms, generate() {py_cpu:.1f} ms, ratio {py_cpu / gen_cpu:.2f}")


if __name__ == "__main__":
    main()
