#!/usr/bin/python3
"""Writes the reference coefficient files remez_*.txt next to this script.

Each file holds the design inputs in '#' header lines (order, edges normalised to Nyquist = 1,
desired amplitude at each edge, weight per band, grid density) and then one coefficient per
line, as designed by scipy.signal.remez. Run with Debian's /usr/bin/python3 (python3-scipy).
"""
import os

import numpy as np
from scipy import __version__ as scipy_version
from scipy.signal import remez


def baseband_edges(r):
    return [0.0, 590000 * 2 / (r * 1228800), 740000 * 2 / (r * 1228800), 1.0]


CASES = [
    # name, order, edges, desired at each edge (constant per band), weights
    ("lowpass_r2", 12 * 2 - 1, baseband_edges(2), [1, 1, 0, 0], [1, 20]),
    ("lowpass_r5", 12 * 5 - 1, baseband_edges(5), [1, 1, 0, 0], [1, 20]),
    ("lowpass_r30", 12 * 30 - 1, baseband_edges(30), [1, 1, 0, 0], [1, 20]),
    ("lowpass_odd", 40, [0.0, 0.3, 0.4, 1.0], [1, 1, 0, 0], [1, 1]),
    ("bandpass_even", 41, [0.0, 0.2, 0.3, 0.5, 0.6, 1.0], [0, 0, 1, 1, 0, 0], [10, 1, 10]),
    # Bands reaching neither 0 nor Nyquist.
    ("bandpass_inner_odd", 60, [0.1, 0.2, 0.3, 0.5, 0.6, 0.9], [0, 0, 1, 1, 0, 0], [10, 1, 10]),
    ("bandpass_inner_even", 61, [0.1, 0.2, 0.3, 0.5, 0.6, 0.9], [0, 0, 1, 1, 0, 0], [10, 1, 10]),
]

GRID_DENSITY = 16


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, order, edges, desired, weights in CASES:
        h = remez(order + 1, edges, desired[::2], weight=weights, fs=2, grid_density=GRID_DENSITY)
        assert np.allclose(h, h[::-1], rtol=0, atol=1e-14)
        with open(os.path.join(here, f"remez_{name}.txt"), "w") as f:
            f.write(f"# scipy {scipy_version} signal.remez, written by make_remez_reference.py\n")
            f.write(f"# order {order}\n")
            f.write("# edges " + " ".join(repr(float(e)) for e in edges) + "\n")
            f.write("# desired " + " ".join(repr(float(d)) for d in desired) + "\n")
            f.write("# weights " + " ".join(repr(float(w)) for w in weights) + "\n")
            f.write(f"# gridDensity {GRID_DENSITY}\n")
            for v in h:
                f.write(f"{v:.17g}\n")


if __name__ == "__main__":
    main()
