"""generate(): the same frame as zuno-gen, the refusals the programs make, the arrays' shapes."""
import gc
import json
import threading

import numpy as np
import pytest

import zuno_fwd

# Traffic with every modulation, MAC on, idle slots filled with noise: all of the engine runs.
BUSY = {
    "DATAchnActive": 1,
    "MACchnActive": 1,
    "PilotOffsetIndex": 37,
    "slot": {
        "DATAslotActive": [1, 1, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1],
        "DATAslotMod": [1, 2, 3] * 5 + [1],
        "RAslotGain": -6,
    },
}


def program_frame(zuno_gen, tmp_path, *args):
    """zuno-gen's samples and markers for the arguments given."""
    out, markers = tmp_path / "frame.cf64", tmp_path / "frame.markers"
    status, _, err = zuno_gen(*args, "--out", out, "--markers", markers)
    assert status == 0, err
    samples = np.fromfile(out, dtype="<f8").view(np.complex128)
    return samples, np.fromfile(markers, dtype=np.uint8).reshape(2, -1)


def assert_same_frame(ours, theirs):
    assert ours[0].shape == theirs[0].shape
    np.testing.assert_array_equal(ours[0], theirs[0])
    np.testing.assert_array_equal(ours[1], theirs[1])


class TestSameFrameAsZunoGen:
    def test_dict_and_keyword_fields(self, zuno_gen, tmp_path):
        settings = tmp_path / "busy.json"
        settings.write_text(json.dumps(BUSY))
        theirs = program_frame(zuno_gen, tmp_path, "--params", settings, "--set", "OverSampling=8",
                               "--set", "IdleSlotGain=-3", "--seed", 11)
        ours = zuno_fwd.generate(BUSY, OverSampling=8, IdleSlotGain=-3, seed=11)
        assert_same_frame(ours, theirs)
        # Keyword fields win over the dict's, field by field inside "slot" too.
        also = zuno_fwd.generate(dict(BUSY, OverSampling=2), OverSampling=8, IdleSlotGain=-3,
                                 slot={"DATAslotMod": BUSY["slot"]["DATAslotMod"]}, seed=11)
        assert_same_frame(also, theirs)

    def test_settings_files_and_numpy_values(self, zuno_gen, tmp_path):
        zuno_fwd.save_params(tmp_path / "lab.mat", dict(BUSY, OverSampling=3))
        theirs = program_frame(zuno_gen, tmp_path, "--params", tmp_path / "lab.mat", "--seed", 5)
        assert_same_frame(zuno_fwd.generate(tmp_path / "lab.mat", seed=5), theirs)
        assert_same_frame(zuno_fwd.generate(str(tmp_path / "lab.mat"), seed=np.uint64(5)), theirs)
        # NumPy arrays and numbers serve as lists and numbers.
        numpy_fields = {**BUSY, "OverSampling": np.int64(3),
                        "slot": {**BUSY["slot"], "DATAslotMod": np.array(BUSY["slot"]["DATAslotMod"])}}
        assert_same_frame(zuno_fwd.generate(numpy_fields, seed=5), theirs)

    def test_defaults_at_the_largest_oversampling(self, zuno_gen, tmp_path):
        theirs = program_frame(zuno_gen, tmp_path, "--set", "OverSampling=30", "--seed", 2)
        assert_same_frame(zuno_fwd.generate(OverSampling=30, seed=2), theirs)


class TestArrays:
    def test_shapes_and_types(self):
        for r in (2, 5, 13):
            samples, markers = zuno_fwd.generate(OverSampling=r, seed=1)
            n = 32768 * r
            assert samples.dtype == np.complex128 and samples.shape == (n,)
            assert samples.flags.c_contiguous
            assert markers.dtype == np.uint8 and markers.shape == (2, n)
            assert set(np.unique(markers)) <= {0, 1}
            # Half-slot timing: one marker pulse per half slot.
            rises = np.count_nonzero(np.diff(markers[0].astype(int), append=markers[0, 0]) == 1)
            assert rises == 32

    def test_samples_outlive_everything_else(self):
        samples, markers = zuno_fwd.generate(BUSY, OverSampling=4, seed=3)
        first = samples.copy()
        del markers
        gc.collect()
        # The next frames take memory of their own; the first one's samples stay as they were.
        for seed in (4, 5):
            zuno_fwd.generate(BUSY, OverSampling=4, seed=seed)
        np.testing.assert_array_equal(samples, first)
        view = samples[::2]
        del samples
        gc.collect()
        zuno_fwd.generate(BUSY, OverSampling=4, seed=6)
        np.testing.assert_array_equal(view, first[::2])

    def test_fresh_noise_without_a_seed(self):
        a, _ = zuno_fwd.generate(OverSampling=2)
        b, _ = zuno_fwd.generate(OverSampling=2)
        assert not np.array_equal(a, b)
        c, _ = zuno_fwd.generate(OverSampling=2, seed=9)
        d, _ = zuno_fwd.generate(OverSampling=2, seed=9)
        np.testing.assert_array_equal(c, d)

    def test_threads_compute_side_by_side(self):
        expected = [zuno_fwd.generate(BUSY, OverSampling=6, seed=s)[0] for s in range(4)]
        results = [None] * 4

        def work(i):
            results[i] = zuno_fwd.generate(BUSY, OverSampling=6, seed=i)[0]

        threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for ours, theirs in zip(results, expected):
            np.testing.assert_array_equal(ours, theirs)


class TestRefusals:
    @pytest.mark.parametrize("setting, field", [
        ("Foo=1", {"Foo": 1}),
        ("slot.DATAslotMod=[1,2,3]", {"slot": {"DATAslotMod": [1, 2, 3]}}),
        ("Mode=\"full\"", {"Mode": "full"}),
        ("slot.DATAslotMod=4", {"slot": {"DATAslotMod": 4}}),
        ("OverSampling=0", {"OverSampling": 0}),
        ("IdleSlotGain=4000", {"IdleSlotGain": 4000}),
        ("FilterType=9", {"FilterType": 9}),
        ("slot.RAslotActive=0.5", {"slot": {"RAslotActive": 0.5}}),
        ("MirrorSpectrum=2", {"MirrorSpectrum": 2}),
        ("ParameterFileFormat_ID=\"Zuno-Fwd - Format 1.1\"", {"ParameterFileFormat_ID": "Zuno-Fwd - Format 1.1"}),
    ])
    def test_the_programs_message(self, refusal_of, setting, field):
        expected = refusal_of("--set", setting)
        with pytest.raises(ValueError) as raised:
            zuno_fwd.generate(**field)
        assert str(raised.value) == expected
        with pytest.raises(ValueError) as raised:
            zuno_fwd.generate(field)
        assert str(raised.value) == expected

    def test_files_refused_as_the_programs_refuse_them(self, refusal_of, tmp_path):
        not_params = tmp_path / "samples.mat"
        zuno_fwd.write(not_params, np.zeros(4, complex), "mat")
        broken = tmp_path / "broken.json"
        broken.write_text("{\"OverSampling\": ")
        for path in (not_params, broken, tmp_path / "absent.mat"):
            expected = refusal_of("--params", path)
            with pytest.raises(ValueError) as raised:
                zuno_fwd.generate(path)
            assert str(raised.value) == expected
            with pytest.raises(ValueError) as raised:
                zuno_fwd.load_params(path)
            assert str(raised.value) == expected

    def test_wrong_kinds_of_argument(self):
        with pytest.raises(TypeError):
            zuno_fwd.generate(42)
        with pytest.raises(TypeError):
            zuno_fwd.generate(OverSampling=object())
        with pytest.raises(ValueError):
            zuno_fwd.generate(IdleSlotGain=float("nan"))
        for seed in (-1, 2**64):
            with pytest.raises(ValueError):
                zuno_fwd.generate(seed=seed)
        with pytest.raises(TypeError):
            zuno_fwd.generate(seed=1.5)


def test_version_is_the_programs(zuno_gen):
    status, out, _ = zuno_gen("--version")
    assert status == 0
    assert out == f"zuno-gen {zuno_fwd.__version__}\n"


def test_carriers_noise_and_crest_factor():
    samples, markers = zuno_fwd.generate(OverSampling=8, seed=2, carriers=[(-1250000,), (1250000, -3, 40)],
                                         noise_cn=20, crest_db=8)
    # A 1.25 MHz offset loops in three frames.
    assert samples.shape == (3 * 32768 * 8,)
    assert markers.shape == (2, samples.size)
    crest = 20 * np.log10(np.abs(samples).max() / np.sqrt(np.mean(np.abs(samples) ** 2)))
    assert crest <= 8.05
    again, _ = zuno_fwd.generate(OverSampling=8, seed=2, carriers=[(-1250000,), (1250000, -3, 40)],
                                 noise_cn=20, crest_db=8)
    assert np.array_equal(samples, again)
    # One carrier at 0 Hz with its own settings is that frame alone.
    alone, _ = zuno_fwd.generate({"PilotOffsetIndex": 40}, OverSampling=2, seed=5)
    moved, _ = zuno_fwd.generate(OverSampling=2, seed=5, carriers=[(0, 0, {"PilotOffsetIndex": 40, "OverSampling": 2})])
    assert np.allclose(alone, moved, rtol=0, atol=1e-12)
    with pytest.raises(ValueError, match="the smallest OverSampling that can is 4"):
        zuno_fwd.generate(OverSampling=3, carriers=[(-1250000,), (1250000,)])
    with pytest.raises(ValueError, match="at most 4 carriers"):
        zuno_fwd.generate(carriers=[(0,)] * 5)
