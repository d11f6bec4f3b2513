"""The docstrings' examples run as a user's session does: the module imported, a fresh working
folder for the files they write, and zuno-sim listening where download()'s example sends."""
import os
import re
import subprocess

import pytest

PROGRAMS = os.path.abspath(os.environ["ZUNO_BIN"])


@pytest.fixture(scope="session")
def sim_address():
    """zuno-sim on a free loopback port, for the whole session: "127.0.0.1:PORT"."""
    sim = subprocess.Popen([os.path.join(PROGRAMS, "zuno-sim"), "--port", "0", "--portmapper", "0"],
                           stdout=subprocess.PIPE, text=True)
    address = None
    for line in sim.stdout:
        found = re.match(r"zuno-sim: SCPI on 127\.0\.0\.1 port (\d+)", line)
        if found:
            address = f"127.0.0.1:{found.group(1)}"
            break
    if address is None:
        sim.kill()
        pytest.fail("zuno-sim did not say where it listens")
    yield address
    sim.terminate()
    sim.wait(timeout=10)


@pytest.fixture(autouse=True)
def session(doctest_namespace, sim_address, tmp_path, monkeypatch):
    import zuno_fwd

    monkeypatch.chdir(tmp_path)
    doctest_namespace["zuno_fwd"] = zuno_fwd
    doctest_namespace["address"] = sim_address
