#!/usr/bin/python3
"""Writes welch_reference.txt next to this script: scipy's Welch estimate of one calculated frame
and the channel power, occupied bandwidth and adjacent-channel leakage measured on it.

The frame is zuno-gen's with the default settings (oversampling 5) and idle-noise seed 7, read as
complex doubles. Usage, after a build: /usr/bin/python3 make_welch_reference.py PATH/TO/zuno-gen

Measurements on the two-sided density P(f), each bin k standing for the band f_k +- df/2:
  band power [a, b]   sum of P_k * (overlap of bin k with [a, b])
  channel power       band power over +-614.4 kHz
  occupied bandwidth  between the frequencies where the cumulative power passes 0.5 % and
                      99.5 % of the total, linear within a bin
  leakage at offset   band power over offset +- 15 kHz relative to the channel power, dB
"""
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from scipy import __version__ as scipy_version
from scipy.signal import welch

SEED = 7
CHANNEL_HALF = 614400.0
OFFSETS = [-1980e3, -750e3, 750e3, 1980e3]
LEAKAGE_HALF = 15e3
# (resolution bandwidth in Hz, segments averaged or 0 for all, write the density)
CASES = [(30e3, 0, True), (100e3, 10, True), (1e3, 0, False)]


def frame(zuno_gen):
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "frame.cf64")
        out = subprocess.run([zuno_gen, "--seed", str(SEED), "--out", path, "--format", "cf64"],
                             check=True, capture_output=True, text=True).stdout
        rate = float(re.search(r"samples at (\S+) Hz", out).group(1))
        return np.fromfile(path, dtype="<c16"), rate


def band_power(f, p, df, a, b):
    lo = np.maximum(f - df / 2, a)
    hi = np.minimum(f + df / 2, b)
    return float(np.sum(p * np.clip(hi - lo, 0, None)))


def occupied(f, p, df, fraction=0.99):
    edges = np.concatenate(([f[0] - df / 2], f + df / 2))
    cumulative = np.concatenate(([0.0], np.cumsum(p * df)))
    total = cumulative[-1]
    lo = np.interp((1 - fraction) / 2 * total, cumulative, edges)
    hi = np.interp((1 + fraction) / 2 * total, cumulative, edges)
    return lo, hi


def main():
    x, rate = frame(sys.argv[1])
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "welch_reference.txt"), "w") as out:
        out.write(f"# scipy {scipy_version} signal.welch, written by make_welch_reference.py\n")
        out.write(f"# zuno-gen default settings, --seed {SEED}: {len(x)} samples at {rate:.0f} Hz\n")
        out.write(f"seed {SEED}\nsamples {len(x)}\nrate {rate:.17g}\n")
        for rbw, averages, with_density in CASES:
            length = int(round(1.5 * rate / rbw))  # a Hann window's noise bandwidth is 1.5 bins
            step = length - length // 2
            segments = (len(x) - length) // step + 1
            if averages:
                segments = min(segments, averages)
            used = x[: (segments - 1) * step + length]
            f, p = welch(used, fs=rate, window="hann", nperseg=length, noverlap=length // 2,
                         detrend=False, return_onesided=False, scaling="density", average="mean")
            f, p = np.fft.fftshift(f), np.fft.fftshift(p)
            df = rate / length
            channel = band_power(f, p, df, -CHANNEL_HALF, CHANNEL_HALF)
            lo, hi = occupied(f, p, df)
            out.write(f"case {rbw:.17g} {averages}\n")
            out.write(f"length {length}\nsegments {segments}\n")
            out.write(f"channel {channel:.17g}\n")
            out.write(f"obw {lo:.17g} {hi:.17g}\n")
            for offset in OFFSETS:
                leak = band_power(f, p, df, offset - LEAKAGE_HALF, offset + LEAKAGE_HALF)
                out.write(f"leakage {offset:.17g} {10 * np.log10(leak / channel):.17g}\n")
            if with_density:
                out.write("density " + " ".join(f"{v:.17g}" for v in p) + "\n")


if __name__ == "__main__":
    main()
