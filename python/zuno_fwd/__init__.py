"""One IS-856 (1xEV-DO) forward-link frame as NumPy arrays, its settings and its files.

    import zuno_fwd
    samples, markers = zuno_fwd.generate(OverSampling=8, seed=1)

Settings are dicts of the parameter fields as zuno-gen's --params takes them: numbers, lists
of 16 (one per slot), 16 lists of 59 (the RPC channels), under "slot" for the per-slot fields.
A setting the programs refuse raises ValueError with their message; a file that cannot be
written raises OSError. analyze() measures samples as zuno-ana does.

Importing the module keeps large freed blocks in the process's heap for the next frame, as
the programs do: it is faster than handing them back to the system every time.
"""

import json
import operator
import os
from collections.abc import Mapping

from . import _core

__version__ = _core.__version__
__all__ = ["generate", "defaults", "load_params", "save_params", "write", "analyze"]


def _plain(value):
    # NumPy arrays and numbers stand for lists and numbers.
    if hasattr(value, "tolist"):
        return value.tolist()
    raise TypeError(f"a setting must be a number, a list or a text, not {type(value).__name__}")


def _json(settings):
    try:
        return json.dumps(settings, default=_plain)  # NaN and inf are refused by field, in the module
    except RecursionError:
        raise ValueError("settings refused: lists and objects are nested more than 32 levels deep") from None


def _settings(params, fields=None):
    """(path or None, JSON texts applied in order) of settings given as a path or a dict."""
    path, texts = None, []
    if isinstance(params, (str, bytes, os.PathLike)):
        path = os.fsdecode(params)
    elif isinstance(params, Mapping):
        texts.append(_json(params))
    elif params is not None:
        raise TypeError("params must be a dict of parameter fields or the path of a parameter file")
    if fields:
        texts.append(_json(fields))
    return path, texts


def _carrier(carrier):
    """The "waveform" JSON form of one carrier: (offset_hz, gain_db=0, params=None)."""
    if not isinstance(carrier, (tuple, list)) or not 1 <= len(carrier) <= 3:
        raise TypeError("a carrier is (offset_hz, gain_db, params), gain_db and params optional")
    out = {"offset_hz": float(carrier[0])}
    if len(carrier) > 1 and carrier[1] is not None:
        out["gain_db"] = float(carrier[1])
    params = carrier[2] if len(carrier) > 2 else None
    if isinstance(params, Mapping):
        out["params"] = params
    elif isinstance(params, (str, bytes, os.PathLike)):
        out["params"] = os.fsdecode(params)
    elif params is not None:
        out["pn_offset"] = operator.index(params)
    return out


def generate(params=None, *, seed=None, carriers=None, noise_cn=None, crest_db=None, quantize_offsets=False,
             **fields):
    """Computes a frame, or several carriers of it: (samples, markers).

    samples: complex128 array of 32768 x OverSampling values (times the frames the carriers need
    to loop seamlessly); markers: uint8 array of shape (2, N), row 0 the half-slot timing marker,
    row 1 RF blanking. params: a dict of fields or the path of a parameter file (.mat) or JSON
    settings file; keyword fields override it (OverSampling=8, slot={"DATAslotMod": [...]}).
    seed: of the idle-slot noise and of noise_cn; without it every call draws fresh noise.
    carriers: up to four (offset_hz, gain_db, params), params a dict of fields, a settings
    file's path or a PN offset on the main settings (gain_db and params optional). noise_cn:
    white noise at this C/N in dB within 1.2288 MHz of the first carrier. crest_db: the crest
    factor reduced to this. quantize_offsets: offsets moved to multiples of 37.5 Hz.
    """
    if seed is not None:
        seed = operator.index(seed)
        if not 0 <= seed < 2**64:
            raise ValueError(f"seed must be a whole number from 0 to 2**64 - 1, not {seed}")
    path, texts = _settings(params, fields)
    waveform = {}
    if carriers is not None:
        waveform["carriers"] = [_carrier(c) for c in carriers]
    if noise_cn is not None:
        waveform["noise_cn_db"] = float(noise_cn)
    if crest_db is not None:
        waveform["crest_db"] = float(crest_db)
    if quantize_offsets:
        waveform["quantize_offsets"] = True
    return _core.generate(path, texts, seed, _json(waveform) if waveform else None)


def defaults():
    """The default settings, every field."""
    return json.loads(_core.defaults())


def load_params(path):
    """Every field of the settings in a parameter file (.mat) or a JSON settings file."""
    return json.loads(_core.load_params(os.fsdecode(path)))


def save_params(path, params):
    """Writes the defaults changed by the dict params as a parameter file the application opens."""
    if not isinstance(params, Mapping):
        raise TypeError("params must be a dict of parameter fields")
    _core.save_params(os.fsdecode(path), [_json(params)])


def write(path, samples, format="cf64", params=None):
    """Writes samples as zuno-gen's --out does in that format.

    cf64, cf32: interleaved little-endian I,Q; ci16be (or torvik): big-endian 16-bit I,Q at
    full scale 32766; mat, ascii: the application's record files; sigmf: PATH.sigmf-data and
    PATH.sigmf-meta, annotated with the settings params (a dict or a path) the frame was made
    with, by default the defaults at the oversampling its length gives.
    """
    params_path, texts = _settings(params)
    _core.write(os.fsdecode(path), samples, format, params_path, texts)


def analyze(samples, rate, *, pn_offset=None, reference="acp", equalizer=True):
    """Finds the frame in samples and measures it: zuno-ana --json's fields as a dict.

    rate: the sample rate in Hz, 1228800 to 200000000 (one that is not a whole multiple of
    1228800 is resampled to one); samples hold at least one frame (32768 chips). The dict holds
    clock_error_ppm and the I/Q errors (iq_offset_dbc, iq_gain_imbalance_db,
    iq_quadrature_error_deg) beside the other figures. pn_offset: the pilot PN offset (0 to 511), searched when
    None. reference: the reference transmitter's filter, "acp" (the application's default),
    "std" (the IS-95 standard filter) or "rect"; equalizer: its phase equalizer. A reading that
    fails its own checks lists why in "warnings" (where zuno-ana ends with status 3); other
    sectors' pilots are in "other_pilots"; the multipath channel found is in "channel" (33 taps
    [re, im] at chip/2 spacing relative to the main ray) and "rho_equalized" is rho through it.
    """
    if pn_offset is not None:
        pn_offset = operator.index(pn_offset)
        if not 0 <= pn_offset <= 511:
            raise ValueError(f"pn_offset must be a whole number from 0 to 511, not {pn_offset}")
    return json.loads(_core.analyze(samples, float(rate), pn_offset, reference, bool(equalizer)))
