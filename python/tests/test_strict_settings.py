"""Settings a script gets wrong are refused by field, in the program's words; ProjectedLength
follows OverSampling."""
import math

import pytest

import zuno_fwd


@pytest.mark.parametrize("setting, field, name", [
    ("OverSampling=NaN", {"OverSampling": math.nan}, "parameters.OverSampling is NaN"),
    ("IdleSlotGain=-Infinity", {"IdleSlotGain": -math.inf}, "parameters.IdleSlotGain is -Inf"),
    ("slot.RAslotGain=Infinity", {"slot": {"RAslotGain": math.inf}}, "parameters.slot.RAslotGain of slot 1 is Inf"),
    ("OverSampling=31", {"OverSampling": 31}, "parameters.OverSampling is 31"),
    ("DATAsourceType=7", {"DATAsourceType": 7}, "parameters.DATAsourceType is 7"),
    ("FilterType=[3]", {"FilterType": [3]}, "parameters.FilterType: expected a number"),
    ("ProjectedLength=5", {"ProjectedLength": 5}, "parameters.ProjectedLength is 5"),
])
def test_refused_by_field_as_the_program_refuses(refusal_of, setting, field, name):
    expected = refusal_of("--set", setting)
    assert expected.startswith(name) and "must be" in expected, expected
    with pytest.raises(ValueError) as raised:
        zuno_fwd.generate(**field)
    assert str(raised.value) == expected
    with pytest.raises(ValueError) as raised:
        zuno_fwd.generate(field)
    assert str(raised.value) == expected


def test_projected_length_follows_oversampling(tmp_path):
    samples, _ = zuno_fwd.generate(OverSampling=8, seed=1)
    assert len(samples) == 8 * 32768
    zuno_fwd.save_params(tmp_path / "p.mat", {"OverSampling": 3})
    assert zuno_fwd.load_params(tmp_path / "p.mat")["ProjectedLength"] == 3 * 32768
    # A file's settings with OverSampling changed: the length follows it.
    settings = dict(zuno_fwd.load_params(tmp_path / "p.mat"), OverSampling=8)
    assert len(zuno_fwd.generate(settings, seed=1)[0]) == 8 * 32768
    # A length of no OverSampling is refused by name.
    with pytest.raises(ValueError, match="ProjectedLength is 100000 but parameters.OverSampling 8 makes 262144"):
        zuno_fwd.generate({"OverSampling": 8, "ProjectedLength": 100000})
