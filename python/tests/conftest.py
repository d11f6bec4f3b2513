"""The programs the module is checked against: ZUNO_BIN names their folder, else PATH has them."""
import os
import shutil
import subprocess

import pytest


def program(name):
    folder = os.environ.get("ZUNO_BIN")
    path = os.path.join(folder, name) if folder else shutil.which(name)
    if not path or not os.access(path, os.X_OK):
        pytest.fail(f"{name} not found: set ZUNO_BIN to the folder that holds it")
    return path


def runner(name):
    """Runs the program with the arguments given; returns (exit status, stdout, stderr)."""
    path = program(name)

    def run(*args):
        done = subprocess.run([path, *map(str, args)], capture_output=True, text=True, timeout=120)
        return done.returncode, done.stdout, done.stderr

    return run


@pytest.fixture(scope="session")
def zuno_gen():
    return runner("zuno-gen")


@pytest.fixture(scope="session")
def zuno_ana():
    return runner("zuno-ana")


@pytest.fixture(scope="session")
def refusal_of(zuno_gen):
    """zuno-gen's message for the arguments given, without its name; it must fail."""
    def refusal(*args):
        status, _, err = zuno_gen(*args)
        assert status != 0, f"zuno-gen accepted {args}"
        prefix = "zuno-gen: "
        assert err.startswith(prefix), err
        return err[len(prefix):].rstrip("\n")

    return refusal
