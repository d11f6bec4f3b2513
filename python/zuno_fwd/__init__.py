"""One IS-856 (1xEV-DO) forward-link frame as NumPy arrays, its settings, files and download.

>>> import zuno_fwd
>>> samples, markers = zuno_fwd.generate(OverSampling=8, seed=1)
>>> samples.shape, markers.shape
((262144,), (2, 262144))

Settings are dicts of the parameter fields as zuno-gen's --params takes them: numbers, lists
of 16 (one per slot), 16 lists of 59 (the RPC channels), under "slot" for the per-slot fields.
A setting the programs refuse raises ValueError with their message; a file that cannot be
written and a failed download raise OSError. analyze() measures samples as zuno-ana does.
"""

import json
import operator
import os
from collections.abc import Mapping

from . import _core

__version__ = _core.__version__
__all__ = ["generate", "defaults", "load_params", "save_params", "write", "read", "download", "analyze",
           "keep_large_buffers"]


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
    """Computes a frame, or several carriers of it.

    Parameters
    ----------
    params : dict, str or os.PathLike, optional
        Settings fields over the defaults, or the path of a parameter file (.mat) or JSON
        settings file. Keyword fields override it (``OverSampling=8``,
        ``slot={"DATAslotMod": [...]}``).
    seed : int, optional
        Seed of the idle-slot noise and of `noise_cn`, 0 to 2**64 - 1; without it every call
        draws fresh noise. The same settings and seed give zuno-gen's frame.
    carriers : sequence of tuple, optional
        Up to four ``(offset_hz, gain_db, params)``, `gain_db` and `params` optional; `params`
        a dict of fields, a settings file's path or a PN offset on the main settings.
    noise_cn : float, optional
        White noise at this C/N in dB within 1.2288 MHz of the first carrier.
    crest_db : float, optional
        The crest factor reduced to this, in dB.
    quantize_offsets : bool, default False
        Moves the offsets to multiples of 37.5 Hz (one frame) instead of repeating the frame.
    **fields
        Settings fields, applied after `params`.

    Returns
    -------
    samples : numpy.ndarray
        complex128, 32768 x OverSampling values (times the frames the carriers need to loop
        seamlessly).
    markers : numpy.ndarray
        uint8 of shape (2, N): row 0 the half-slot timing marker, row 1 RF blanking.

    Raises
    ------
    ValueError
        A setting, seed or carrier the programs refuse, with their message.
    TypeError
        `params` or a setting of a type that stands for no setting.

    Examples
    --------
    >>> samples, markers = zuno_fwd.generate({"PilotOffsetIndex": 12}, OverSampling=2, seed=7)
    >>> samples.size, markers[0].sum() > 0
    (65536, True)
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
    """The default settings.

    Returns
    -------
    dict
        Every field, in the record's order; the per-slot fields under "slot".

    Examples
    --------
    >>> d = zuno_fwd.defaults()
    >>> d["OverSampling"], len(d["slot"]["DATAslotMod"])
    (5, 16)
    """
    return json.loads(_core.defaults())


def load_params(path):
    """Every field of the settings in a parameter file or JSON settings file.

    Parameters
    ----------
    path : str or os.PathLike
        A parameter file (.mat) as the application saves it, or a JSON settings file.

    Returns
    -------
    dict
        Every field, as `defaults` gives them.

    Raises
    ------
    ValueError
        A file that cannot be read or holds settings the programs refuse.

    Examples
    --------
    >>> zuno_fwd.save_params("lab.mat", {"OverSampling": 8})
    >>> zuno_fwd.load_params("lab.mat")["OverSampling"]
    8
    """
    return json.loads(_core.load_params(os.fsdecode(path)))


def save_params(path, params):
    """Writes the defaults changed by `params` as a parameter file the application opens.

    Parameters
    ----------
    path : str or os.PathLike
        The file to write (.mat); it is replaced whole or not at all.
    params : dict
        Settings fields over the defaults.

    Raises
    ------
    ValueError
        A setting the programs refuse.
    TypeError
        `params` is not a dict.
    OSError
        The file cannot be written.

    Examples
    --------
    >>> zuno_fwd.save_params("lab.mat", {"PilotOffsetIndex": 40, "OverSampling": 4})
    >>> zuno_fwd.load_params("lab.mat")["PilotOffsetIndex"]
    40
    """
    if not isinstance(params, Mapping):
        raise TypeError("params must be a dict of parameter fields")
    _core.save_params(os.fsdecode(path), [_json(params)])


def write(path, samples, format="cf64", params=None, *, markers=None, rate=None, frequency=None):
    """Writes samples as zuno-gen's --out does, with their rate, frequency and markers.

    Parameters
    ----------
    path : str or os.PathLike
        The file; for sigmf the base of PATH.sigmf-data and PATH.sigmf-meta.
    samples : array_like
        One row of complex samples.
    format : {"cf64", "cf32", "ci16be", "torvik", "mat", "ascii", "sigmf"}
        cf64, cf32: interleaved little-endian I,Q; ci16be (or torvik): big-endian 16-bit I,Q at
        full scale 32766; mat (`samples` complex) and ascii (`samples` N x 2 [I Q]): the
        application's record files; sigmf: a recording of one frame annotated slot by slot.
    params : dict, str or os.PathLike, optional
        For sigmf, the settings the frame was made with (a dict or a path), by default the
        defaults at the oversampling its length gives: they give the annotations and, unless
        `rate` and `frequency` are given, the rate and centre frequency.
    markers : array_like, optional
        uint8 of shape (2, N) as `generate` returns them: in mat and ascii the variable
        `markers` (N x 2), in sigmf annotations "marker 1" and "marker 2", one per run of 1s.
    rate : float, optional
        The sample rate in Hz: `sampleRate` in mat and ascii, ``core:sample_rate`` in sigmf.
    frequency : float, optional
        The centre frequency in Hz, sigmf's ``core:frequency``.

    Raises
    ------
    ValueError
        An unknown format, samples that are not one row (or not a frame, for sigmf), markers of
        another shape, or a rate, frequency or markers the format has no room for (cf64, cf32,
        ci16be and torvik hold samples only; only sigmf holds the frequency).
    OSError
        A file cannot be written; nothing is then written.

    Examples
    --------
    >>> samples, markers = zuno_fwd.generate(OverSampling=2, seed=1)
    >>> zuno_fwd.write("frame", samples, "sigmf", markers=markers, frequency=2.1e9)
    >>> back, rate, back_markers = zuno_fwd.read("frame.sigmf-meta")
    >>> rate, bool((back_markers == markers).all())
    (2457600.0, True)
    """
    params_path, texts = _settings(params)
    _core.write(os.fsdecode(path), samples, format, params_path, texts, _markers(markers),
                None if rate is None else float(rate), None if frequency is None else float(frequency))


def read(path, format=None):
    """Reads a file `write` writes: its samples, rate and markers.

    Parameters
    ----------
    path : str or os.PathLike
        The file; for sigmf the data or meta file or their base name.
    format : {"cf64", "cf32", "ci16be", "torvik", "mat", "ascii", "sigmf"}, optional
        By default from the name's extension (.cf64, .cf32, .ci16be, .mat, .sigmf-meta, ...).

    Returns
    -------
    samples : numpy.ndarray
        complex128; 16-bit files scaled so that 32767 is 1.
    rate : float or None
        The sample rate in Hz when the file holds it (mat, ascii, sigmf).
    markers : numpy.ndarray or None
        uint8 of shape (2, N) when the file holds markers.

    Raises
    ------
    ValueError
        A file that cannot be read, is not of the format, or whose format its name does not
        give.

    Examples
    --------
    >>> samples, markers = zuno_fwd.generate(OverSampling=2, seed=1)
    >>> zuno_fwd.write("frame.mat", samples, "mat", markers=markers, rate=2457600)
    >>> back, rate, back_markers = zuno_fwd.read("frame.mat")
    >>> bool((back == samples).all()), rate, back_markers.shape
    (True, 2457600.0, (2, 65536))
    >>> zuno_fwd.write("frame.cf32", samples, "cf32")
    >>> zuno_fwd.read("frame.cf32")[1:]
    (None, None)
    """
    if format is not None and not isinstance(format, str):
        raise TypeError("format must be a format's name")
    return _core.read(os.fsdecode(path), format)


def _markers(markers):
    if markers is None:
        return None
    import numpy
    return numpy.asarray(markers, dtype=numpy.uint8)


def download(samples, address, settings=None, *, markers=None, timeout=10.0, portmapper=None):
    """Downloads samples to the signal generator and starts their playback, as zuno-gen does.

    Parameters
    ----------
    samples : array_like
        One row of complex samples, as `generate` returns them.
    address : str
        The instrument over TCP/IP: ``host``, ``host:port`` (default port 5025) or a VISA
        resource (``TCPIP0::host::INSTR`` for VXI-11, ``TCPIP0::host::port::SOCKET``).
    settings : dict, str or os.PathLike, optional
        The frame's settings (a dict of fields or a settings file's path): the sample clock
        follows their oversampling, RF blanking their idle-slot noise. A dict may hold
        "SigGenSettings", a dict of the signal generator's fields (Frequency, Amplitude,
        Title, ...) over those.
    markers : array_like, optional
        uint8 of shape (2, N) as `generate` returns them; by default both rows 0.
    timeout : float, default 10
        Seconds any step may wait without a byte from the instrument.
    portmapper : int, optional
        The VXI-11 portmapper's port when the address names none (default 111).

    Returns
    -------
    str
        What zuno-gen --download prints: the title, the download's answer, each playback line
        with the instrument's answer, and the line saying what plays.

    Raises
    ------
    OSError
        The download or the playback failed: "download failed: ..." or "playback failed: ..."
        with the instrument's or the link's reason (a refused connection, a time-out).
    ValueError
        A setting the programs refuse, or markers of another shape.

    Examples
    --------
    >>> address = "127.0.0.1:5025"  # the signal generator, here zuno-sim  # doctest: +SKIP
    >>> settings = {"OverSampling": 2, "SigGenSettings": {"Frequency": 1e9, "Title": "LAB1"}}
    >>> samples, markers = zuno_fwd.generate({"OverSampling": 2}, seed=1)
    >>> print(zuno_fwd.download(samples, address, settings, markers=markers).splitlines()[-1])
    playback: "LAB1" is playing
    """
    if isinstance(settings, Mapping):
        settings = dict(settings)
        sig_gen = settings.pop("SigGenSettings", None) or {}
    else:
        sig_gen = {}
    if not isinstance(sig_gen, Mapping):
        raise TypeError("SigGenSettings must be a dict of the signal generator's fields")
    lines = [f"{name}={value if isinstance(value, str) else _json(value)}" for name, value in sig_gen.items()]
    path, texts = _settings(settings)
    if portmapper is not None:
        portmapper = operator.index(portmapper)
    return _core.download(samples, _markers(markers), str(address), path, texts, lines, float(timeout), portmapper)


def keep_large_buffers():
    """Keeps large freed blocks in the process's heap for the next frame, as the programs do.

    Computing a frame at oversampling 30 then takes less than half the time it takes when
    every buffer is handed back to the system and faulted in afresh; the process keeps its
    largest frame's memory for as long as it runs. Call it once, before the first frame.

    Examples
    --------
    >>> zuno_fwd.keep_large_buffers()
    """
    _core.keep_large_buffers()


def analyze(samples, rate, *, pn_offset=None, reference="acp", equalizer=True, offset=None, frames=None):
    """Finds the frames in samples and measures them as zuno-ana does.

    Parameters
    ----------
    samples : array_like
        Complex samples, at least one frame (32768 chips) long.
    rate : float
        The sample rate in Hz, 1228800 to 200000000 (one that is not a whole multiple of
        1228800 is resampled to one).
    pn_offset : int, optional
        The pilot PN offset, 0 to 511; searched when None.
    reference : {"acp", "std", "rect"}
        The reference transmitter's filter: the application's default, the IS-95 standard
        filter or none.
    equalizer : bool, default True
        The reference transmitter's phase equalizer.
    offset : float, optional
        The carrier to read, in Hz from the centre (as zuno-ana --offset): moved to zero and
        the other carriers of a multi-carrier waveform filtered away (0 for the centre one of
        several). None reads the samples as they are.
    frames : int, optional
        Read at most this many whole frames; every whole frame when None. The figures are
        averaged over them and each frame's are in "frames".

    Returns
    -------
    dict
        zuno-ana --json's fields: rho, EVM, frequency, clock and I/Q errors, the 16 slots...
        A reading that fails its own checks lists why in "warnings" (where zuno-ana ends with
        status 3); other sectors' pilots are in "other_pilots"; the multipath channel found
        is in "channel" (33 taps [re, im] at chip/2 spacing relative to the main ray) and
        "rho_equalized" is rho through it.

    Raises
    ------
    ValueError
        A rate, PN offset or reference outside the ranges above, or samples in which no frame
        is found.

    Examples
    --------
    >>> samples, _ = zuno_fwd.generate(OverSampling=2, PilotOffsetIndex=9, seed=1)
    >>> result = zuno_fwd.analyze(samples, 2 * 1228800)
    >>> result["oversampling"], result["rho"] > 0.99
    (2, True)
    """
    if pn_offset is not None:
        pn_offset = operator.index(pn_offset)
        if not 0 <= pn_offset <= 511:
            raise ValueError(f"pn_offset must be a whole number from 0 to 511, not {pn_offset}")
    if frames is not None:
        frames = operator.index(frames)
        if frames < 1:
            raise ValueError(f"frames must be a whole number from 1 on, not {frames}")
    return json.loads(_core.analyze(samples, float(rate), pn_offset, reference, bool(equalizer),
                                    None if offset is None else float(offset), frames))
