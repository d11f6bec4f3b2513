"""analyze(): zuno-ana's reading of the same samples, and the frame generate() made recovered."""
import json

import numpy as np
import pytest

import zuno_fwd

CHIP_RATE = 1228800
# Every modulation, MAC channels on, no idle noise: the frame is recovered exactly.
FRAME = {
    "OverSampling": 4,
    "PilotOffsetIndex": 37,
    "DATAchnActive": 1,
    "MACchnActive": 1,
    "IdleSlotGainActive": 0,
    "slot": {"DATAslotMod": [1, 2, 3] * 5 + [1], "DATAslotActive": [1] * 15 + [0], "RAslotGain": -6},
}


@pytest.fixture(scope="module")
def frame():
    return zuno_fwd.generate(FRAME, seed=3)[0]


def test_the_frame_recovered(frame):
    result = zuno_fwd.analyze(frame, 4 * CHIP_RATE)
    assert result["oversampling"] == 4
    assert result["pn_offset"] == 37 or 37 in [a["pn_offset"] for a in result["alternatives"]]
    assert result["rho"] > 0.9999
    assert result["mirror_spectrum"] == 0
    assert result["data_source"] == 6 and result["data_bit_errors"] == 0
    names = {1: "QPSK", 2: "8-PSK", 3: "16-QAM"}
    expected = [names[m] for m in FRAME["slot"]["DATAslotMod"][:15]] + ["idle"]
    assert [s["traffic"] for s in result["slots"]] == expected
    assert all(s["ra_gain_db"] == pytest.approx(-6, abs=0.05) for s in result["slots"])


@pytest.mark.parametrize("options, args", [
    ({}, []),
    ({"reference": "std", "equalizer": False, "pn_offset": 37}, ["--reference", "std", "--no-eq", "--pn-offset", 37]),
])
def test_the_same_reading_as_zuno_ana(zuno_ana, frame, tmp_path, options, args):
    zuno_fwd.write(tmp_path / "frame.cf64", frame)
    status, out, err = zuno_ana(tmp_path / "frame.cf64", "--rate", 4 * CHIP_RATE, "--json", *args)
    assert status == 0, err
    assert zuno_fwd.analyze(frame, 4 * CHIP_RATE, **options) == json.loads(out)


def test_refusals(zuno_ana, frame, tmp_path):
    zuno_fwd.write(tmp_path / "frame.cf64", frame)
    for rate in (1e6, 65 * CHIP_RATE):
        status, _, err = zuno_ana(tmp_path / "frame.cf64", "--rate", rate)
        assert status != 0
        with pytest.raises(ValueError) as raised:
            zuno_fwd.analyze(frame, rate)
        assert "zuno-ana: " + str(raised.value) + "\n" == err
    with pytest.raises(ValueError):
        zuno_fwd.analyze(frame[:1000], 4 * CHIP_RATE)
    with pytest.raises(ValueError, match="^reference must be std, acp or rect, not 'iS95'$"):
        zuno_fwd.analyze(frame, 4 * CHIP_RATE, reference="iS95")
    with pytest.raises(ValueError, match="pn_offset"):
        zuno_fwd.analyze(frame, 4 * CHIP_RATE, pn_offset=512)
    with pytest.raises(ValueError, match="one row"):
        zuno_fwd.analyze(np.stack([frame, frame]), 4 * CHIP_RATE)


def test_doubts_as_zuno_ana_says_them(zuno_ana, tmp_path):
    # Idle noise as loud as the pilot in the last slot: read, but with warnings (zuno-ana's status 3).
    loud = zuno_fwd.generate({**FRAME, "IdleSlotGainActive": 1, "IdleSlotGain": 0}, seed=3)[0]
    zuno_fwd.write(tmp_path / "loud.cf64", loud)
    status, out, err = zuno_ana(tmp_path / "loud.cf64", "--rate", 4 * CHIP_RATE, "--json")
    assert status == 3, err
    result = zuno_fwd.analyze(loud, 4 * CHIP_RATE)
    assert result["warnings"] == json.loads(out)["warnings"]
    assert result["warnings"]
    assert result["other_pilots"] == []


def test_one_carrier_of_several_read_frame_by_frame():
    samples, _ = zuno_fwd.generate(OverSampling=8, seed=3, carriers=[(-1250000, 0, 7), (1250000, -3, 40)])
    result = zuno_fwd.analyze(samples, 8 * 1228800, offset=1250000)
    # The carrier named, with the other filtered away, over each of the three frames it loops in.
    assert result["pn_offset"] == 40
    assert result["offset_hz"] == 1250000
    assert len(result["frames"]) == 3
    assert result["rho"] > 0.999
    assert zuno_fwd.analyze(samples, 8 * 1228800, offset=-1250000, frames=1)["pn_offset"] == 7
    with pytest.raises(ValueError, match="frames must be a whole number from 1 on"):
        zuno_fwd.analyze(samples, 8 * 1228800, frames=0)


def test_the_centre_carrier_of_a_clipped_three_carrier_waveform():
    # Clipping noise the crest-factor reduction leaves in the channel is distortion, not echoes:
    # read as echoes it once moved the frame start by 0.6 chips.
    carriers = [(-1250000,), (0,), (1250000, -3)]
    samples, _ = zuno_fwd.generate(OverSampling=8, seed=1, carriers=carriers, crest_db=8)
    result = zuno_fwd.analyze(samples, 8 * 1228800, offset=0, frames=1)
    assert abs(result["frame_start_chips"]) < 0.05
    assert 0.85 < result["rho"] < 0.95
    assert result["warnings"] == []
