"""read() gives back what write() wrote; download() plays a frame on zuno-sim; the package's
metadata, type stubs and opt-in heap tuning."""
import ast
import importlib.metadata
import inspect
import json
import pathlib
import re
import socket
import subprocess
import sys

import numpy as np
import pytest

import zuno_fwd
from conftest import program

RATE = 2 * 1228800


@pytest.fixture(scope="module")
def frame():
    return zuno_fwd.generate(OverSampling=2, IdleSlotGainActive=0, seed=6)


class TestReadBack:
    @pytest.mark.parametrize("fmt,name,tolerance", [
        ("cf64", "f.cf64", 0), ("cf32", "f.cf32", 1e-7), ("ci16be", "f.ci16be", 1e-4), ("torvik", "VSK-C", 1e-4),
        ("mat", "f.mat", 0), ("ascii", "f.mat", 0), ("sigmf", "f", 1e-7)])
    def test_every_format(self, frame, tmp_path, fmt, name, tolerance):
        samples, markers = frame
        keeps = fmt in ("mat", "ascii", "sigmf")
        extra = {"markers": markers, "rate": RATE} if keeps else {}
        zuno_fwd.write(tmp_path / name, samples, fmt, **extra)
        # Without an extension saying the format, the caller names it.
        back, rate, back_markers = zuno_fwd.read(tmp_path / name, fmt if fmt == "torvik" else None)
        assert back.dtype == np.complex128 and back.shape == samples.shape
        if fmt in ("ci16be", "torvik"):  # scaled to full scale on the way out
            back = back * (np.abs(samples.view(float)).max() / np.abs(back.view(float)).max())
        np.testing.assert_allclose(back, samples, rtol=0, atol=tolerance * np.abs(samples).max())
        if keeps:
            assert rate == RATE
            np.testing.assert_array_equal(back_markers, markers)
        else:
            assert rate is None and back_markers is None

    def test_sigmf_meta(self, frame, tmp_path):
        samples, markers = frame
        zuno_fwd.write(tmp_path / "f", samples, "sigmf", markers=markers, frequency=2.1125e9)
        meta = json.loads((tmp_path / "f.sigmf-meta").read_text())
        assert meta["captures"][0]["core:frequency"] == 2.1125e9
        assert meta["global"]["core:sample_rate"] == RATE  # from the length, without a rate
        starts = [a["core:sample_start"] for a in meta["annotations"]]
        assert starts == sorted(starts)
        labels = [a["core:label"] for a in meta["annotations"]]
        assert sum(label.startswith("slot ") for label in labels) == 16
        assert labels.count("marker 1") == 32  # one pulse per half slot
        # Any of the three names reads the recording.
        for name in ("f", "f.sigmf-data", "f.sigmf-meta"):
            np.testing.assert_array_equal(zuno_fwd.read(tmp_path / name)[2], markers)
        # Without markers the recording carries the slots only, and read says so.
        zuno_fwd.write(tmp_path / "plain", samples, "sigmf")
        assert zuno_fwd.read(tmp_path / "plain")[2] is None

    def test_markers_outside_the_recording(self, frame, tmp_path):
        samples, markers = frame
        zuno_fwd.write(tmp_path / "f", samples, "sigmf", markers=markers)
        meta = json.loads((tmp_path / "f.sigmf-meta").read_text())
        meta["annotations"].append({"core:sample_start": samples.size - 1, "core:sample_count": 2,
                                    "core:label": "marker 2"})
        (tmp_path / "f.sigmf-meta").write_text(json.dumps(meta))
        with pytest.raises(ValueError, match="marker 2 annotation lies outside the recording's 65536 samples"):
            zuno_fwd.read(tmp_path / "f")

    def test_refusals(self, frame, tmp_path):
        samples, markers = frame
        with pytest.raises(ValueError, match="^cf64 holds samples only: the rate and markers go in mat, ascii or sigmf"):
            zuno_fwd.write(tmp_path / "x", samples, "cf64", rate=RATE)
        with pytest.raises(ValueError, match="^torvik holds samples only"):
            zuno_fwd.write(tmp_path / "x", samples, "torvik", markers=markers)
        with pytest.raises(ValueError, match="^mat holds the rate and markers but no centre frequency"):
            zuno_fwd.write(tmp_path / "x", samples, "mat", frequency=1e9)
        with pytest.raises(ValueError, match=r"^markers must have the shape \(2, 65536\)"):
            zuno_fwd.write(tmp_path / "x", samples, "mat", markers=markers[:, 1:])
        with pytest.raises(ValueError, match=r"^markers must have the shape \(2, 65536\)"):
            zuno_fwd.write(tmp_path / "x", samples, "mat", markers=markers[0])
        assert not list(tmp_path.iterdir()), "nothing is written when refused"
        with pytest.raises(ValueError, match="give --format"):
            zuno_fwd.read(tmp_path / "VSK-C")
        with pytest.raises(ValueError, match="^format must be"):
            zuno_fwd.read(tmp_path / "x.cf64", "wav")
        (tmp_path / "odd.cf64").write_bytes(b"\0" * 20)
        with pytest.raises(ValueError, match="not a whole number of 16-byte I/Q samples"):
            zuno_fwd.read(tmp_path / "odd.cf64")


@pytest.fixture
def sim():
    """Starts zuno-sim with the switches given on a free loopback port; yields its address."""
    started = []

    def start(*switches):
        process = subprocess.Popen([program("zuno-sim"), "--port", "0", "--portmapper", "0", *switches],
                                   stdout=subprocess.PIPE, text=True)
        started.append(process)
        for line in process.stdout:
            found = re.match(r"zuno-sim: SCPI on 127\.0\.0\.1 port (\d+)", line)
            if found:
                return f"127.0.0.1:{found.group(1)}"
        pytest.fail("zuno-sim did not say where it listens")

    yield start
    for process in started:
        process.terminate()
        process.wait(timeout=10)


def query(address, line):
    host, port = address.split(":")
    with socket.create_connection((host, int(port)), timeout=10) as s:
        s.sendall(line.encode() + b"\n")
        answer = b""
        while not answer.endswith(b"\n"):
            answer += s.recv(4096)
    return answer.decode().strip()


class TestDownload:
    def test_plays_the_frame_with_the_settings(self, frame, sim):
        samples, markers = frame
        address = sim()
        settings = {"OverSampling": 2, "SigGenSettings": {"Frequency": 1.5e9, "Title": "BENCH7"}}
        transcript = zuno_fwd.download(samples, address, settings, markers=markers)
        lines = transcript.splitlines()
        assert lines[0] == "title: BENCH7" and lines[-1] == 'playback: "BENCH7" is playing'
        assert float(query(address, ":SOURce:FREQuency?")) == 1.5e9
        # The clock follows the settings' oversampling: a waveform never plays at another.
        assert float(query(address, ":SOURce:RADio:ARB:CLOCk:SRATe?")) == RATE

    def test_failures_carry_the_programs_messages(self, frame, sim, tmp_path):
        samples, _ = frame
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            port = closed.getsockname()[1]
        with pytest.raises(OSError, match="^download failed: "):
            zuno_fwd.download(samples, f"127.0.0.1:{port}", {"OverSampling": 2})
        with pytest.raises(OSError, match=r"^playback failed: Line 4 .*:source:power.*-221"):
            zuno_fwd.download(samples, sim("--reject", ":POWer"), {"OverSampling": 2})
        with pytest.raises(OSError, match="^download failed: "):
            zuno_fwd.download(samples, sim("--stall"), {"OverSampling": 2}, timeout=0.5)

    def test_refusals(self, frame):
        samples, markers = frame
        for timeout in (0, -1, float("nan")):
            with pytest.raises(ValueError, match="^timeout must be more than 0"):
                zuno_fwd.download(samples, "127.0.0.1:1", timeout=timeout)
        with pytest.raises(ValueError, match="SigGenSettings has no field 'Nope'"):
            zuno_fwd.download(samples, "127.0.0.1:1", {"SigGenSettings": {"Nope": 1}})
        with pytest.raises(ValueError, match=r"^markers must have the shape"):
            zuno_fwd.download(samples, "127.0.0.1:1", markers=markers[:, :5])
        with pytest.raises(ValueError, match="^unknown field parameters.Nope$"):
            zuno_fwd.download(samples, "127.0.0.1:1", {"Nope": 1})


class TestPackage:
    def test_metadata_version(self):
        assert importlib.metadata.version("zuno_fwd") == zuno_fwd.__version__
        assert re.fullmatch(r"\d+\.\d+\.\d+", zuno_fwd.__version__)

    def test_stubs_match_the_functions(self):
        folder = pathlib.Path(zuno_fwd.__file__).parent
        assert (folder / "py.typed").exists()
        stubs = {f.name: f for f in ast.parse((folder / "__init__.pyi").read_text()).body
                 if isinstance(f, ast.FunctionDef)}
        assert set(stubs) == set(zuno_fwd.__all__)
        for name in zuno_fwd.__all__:
            real = inspect.signature(getattr(zuno_fwd, name)).parameters
            a = stubs[name].args
            stub = [(p.arg, "POSITIONAL_OR_KEYWORD") for p in a.args] + \
                   ([(a.vararg.arg, "VAR_POSITIONAL")] if a.vararg else []) + \
                   [(p.arg, "KEYWORD_ONLY") for p in a.kwonlyargs] + \
                   ([(a.kwarg.arg, "VAR_KEYWORD")] if a.kwarg else [])
            assert stub == [(p.name, p.kind.name) for p in real.values()], name
            with_default = len(a.defaults) + sum(d is not None for d in a.kw_defaults)
            assert with_default == sum(p.default is not p.empty for p in real.values()), name

    def test_every_public_function_documented(self):
        for name in zuno_fwd.__all__:
            doc = inspect.getdoc(getattr(zuno_fwd, name))
            assert "Examples\n--------\n>>> " in doc, name
            if inspect.signature(getattr(zuno_fwd, name)).parameters:
                assert "Parameters\n----------\n" in doc, name

    def test_heap_tuning_is_opt_in(self):
        # A 16 MB block comes from its own mapping unless large blocks are kept in the heap.
        probe = (
            "import sys, numpy as np, zuno_fwd\n"
            "def in_heap():\n"
            "    a = np.empty(2 << 20); at = a.ctypes.data\n"
            "    for line in open('/proc/self/maps'):\n"
            "        lo, hi = (int(x, 16) for x in line.split()[0].split('-'))\n"
            "        if lo <= at < hi: return line.rstrip().endswith('[heap]')\n"
            "before = in_heap(); zuno_fwd.keep_large_buffers(); print(before, in_heap())\n")
        done = subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True, timeout=60)
        assert done.returncode == 0, done.stderr
        assert done.stdout.split() == ["False", "True"]
