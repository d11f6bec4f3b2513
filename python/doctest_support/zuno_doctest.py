"""The docstrings' examples run as a user's session does: the module imported, a fresh working
folder for the files they write, and zuno-sim listening where download()'s example sends."""
import os
import re
import subprocess

import pytest


def start_sim():
    """zuno-sim on a free loopback port: (process, "127.0.0.1:PORT")."""
    sim = subprocess.Popen([os.path.join(os.environ["ZUNO_BIN"], "zuno-sim"), "--port", "0", "--portmapper", "0"],
                           stdout=subprocess.PIPE, text=True)
    for line in sim.stdout:
        found = re.match(r"zuno-sim: SCPI on 127\.0\.0\.1 port (\d+)", line)
        if found:
            return sim, f"127.0.0.1:{found.group(1)}"
    sim.kill()
    pytest.fail("zuno-sim did not say where it listens")


@pytest.fixture(autouse=True)
def session(doctest_namespace, tmp_path, monkeypatch):
    import zuno_fwd

    monkeypatch.chdir(tmp_path)
    doctest_namespace["zuno_fwd"] = zuno_fwd
    sim, doctest_namespace["address"] = start_sim()
    yield
    sim.terminate()
    sim.wait(timeout=10)
