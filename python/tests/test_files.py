"""Settings and sample files: the same bytes as zuno-gen writes, and the files the application opens."""
import json

import numpy as np
import pytest

import zuno_fwd

MAT_HEADER = 128  # its text carries the time of writing


def program_bytes(zuno_gen, tmp_path, fmt, *args):
    out = tmp_path / f"theirs.{fmt}"
    status, _, err = zuno_gen("--seed", 4, "--set", "OverSampling=3", *args, "--out", out, "--format", fmt)
    assert status == 0, err
    return out


class TestSampleFiles:
    @pytest.mark.parametrize("fmt", ["cf64", "cf32", "ci16be", "torvik", "mat", "ascii"])
    def test_the_programs_bytes(self, zuno_gen, tmp_path, fmt):
        theirs = program_bytes(zuno_gen, tmp_path, fmt).read_bytes()
        samples, _ = zuno_fwd.generate(OverSampling=3, seed=4)
        zuno_fwd.write(tmp_path / "ours", samples, fmt)
        ours = (tmp_path / "ours").read_bytes()
        skip = MAT_HEADER if fmt in ("mat", "ascii") else 0
        assert len(ours) == len(theirs) and ours[skip:] == theirs[skip:]

    def test_sigmf_recording(self, zuno_gen, tmp_path):
        busy = {"DATAchnActive": 1, "slot": {"DATAslotActive": [1, 0] * 8}}
        (tmp_path / "busy.json").write_text(json.dumps(busy))
        program_bytes(zuno_gen, tmp_path, "sigmf", "--params", tmp_path / "busy.json")
        samples, _ = zuno_fwd.generate(busy, OverSampling=3, seed=4)
        zuno_fwd.write(tmp_path / "ours", samples, "sigmf", params=dict(busy, OverSampling=3))
        # Without settings, the defaults at the oversampling the length gives.
        zuno_fwd.write(tmp_path / "plain", samples, "sigmf")

        def read(base):
            meta = json.loads((tmp_path / f"{base}.sigmf-meta").read_text())
            return meta, (tmp_path / f"{base}.sigmf-data").read_bytes()

        theirs, ours, plain = read("theirs"), read("ours"), read("plain")
        assert ours == theirs
        assert plain[1] == theirs[1]
        assert plain[0]["global"]["core:sample_rate"] == 3 * 1228800
        assert plain[0]["annotations"] != theirs[0]["annotations"]

    def test_refusals(self, tmp_path):
        frame = np.zeros(32768 * 2, complex)
        with pytest.raises(ValueError, match=r"^format must be cf64, cf32, ci16be, torvik, mat, ascii or sigmf, not 'wav'$"):
            zuno_fwd.write(tmp_path / "x", frame, "wav")
        with pytest.raises(ValueError, match="one row"):
            zuno_fwd.write(tmp_path / "x", frame.reshape(2, -1))
        with pytest.raises(ValueError, match="not a finite number"):
            zuno_fwd.write(tmp_path / "x", np.array([1, np.nan]), "ci16be")
        for n in (65537, 0):
            with pytest.raises(ValueError, match=f"^a SigMF recording holds one frame: {n} samples"):
                zuno_fwd.write(tmp_path / "x", np.zeros(n, complex), "sigmf")
        with pytest.raises(ValueError, match="not the 98304 of a frame at oversampling 3"):
            zuno_fwd.write(tmp_path / "x", frame, "sigmf", params={"OverSampling": 3})
        with pytest.raises(OSError, match="^cannot write"):
            zuno_fwd.write(tmp_path / "missing" / "x", frame)
        assert not list(tmp_path.iterdir()), "nothing is written when refused"


class TestSettings:
    def test_defaults_save_and_load(self, tmp_path):
        d = zuno_fwd.defaults()
        assert list(d)[0] == "ParameterFileFormat_ID"
        assert d["OverSampling"] == 5 and isinstance(d["OverSampling"], int)
        assert len(d["slot"]["DATAslotMod"]) == 16
        assert np.shape(d["slot"]["RPCslotGain"]) == (16, 59)
        assert d["DATAsourceName"] is None

        zuno_fwd.save_params(tmp_path / "same.mat", d)
        assert zuno_fwd.load_params(tmp_path / "same.mat") == d

        changed = {"PilotOffsetIndex": 99, "OverSampling": 12, "slot": {"RAslotGain": np.linspace(-8, 7, 16)}}
        zuno_fwd.save_params(tmp_path / "changed.mat", changed)
        back = zuno_fwd.load_params(tmp_path / "changed.mat")
        assert back["PilotOffsetIndex"] == 99
        assert back["ProjectedLength"] == 32768 * 12
        assert back["slot"]["RAslotGain"] == pytest.approx(np.linspace(-8, 7, 16).tolist())
        assert back["slot"]["RPCslotGain"] == d["slot"]["RPCslotGain"]
        # What load_params gives, generate takes back.
        np.testing.assert_array_equal(zuno_fwd.generate(back, seed=1)[0],
                                      zuno_fwd.generate(tmp_path / "changed.mat", seed=1)[0])

    def test_save_refusals(self, tmp_path):
        with pytest.raises(ValueError, match="^unknown field parameters.Nope$"):
            zuno_fwd.save_params(tmp_path / "p.mat", {"Nope": 1})
        with pytest.raises(TypeError):
            zuno_fwd.save_params(tmp_path / "p.mat", "OverSampling=3")
        with pytest.raises(OSError, match="^cannot write"):
            zuno_fwd.save_params(tmp_path / "missing" / "p.mat", {})
        assert not list(tmp_path.iterdir())
