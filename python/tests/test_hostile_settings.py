"""Settings built to exhaust the stack or the memory raise, and the interpreter goes on."""
import os
import subprocess
import sys
import textwrap

import pytest

import zuno_fwd
from zuno_fwd import _core

DEEP = 80_000


def deep_text(depth):
    return "[" * depth + "]" * depth


@pytest.mark.parametrize("call", [
    lambda t: _core.generate(None, [t], 1),
    lambda t: _core.save_params(os.devnull, [t]),
    lambda t: _core.generate(None, ['{"slot": {"DATAslotMod": ' + t + "}}"], 1),
])
def test_deep_lists_through_the_compiled_entry_are_refused(call):
    with pytest.raises(ValueError, match="nested more than 32 levels deep"):
        call(deep_text(DEEP))


def test_deep_lists_from_python_are_refused():
    deep = []
    for _ in range(DEEP):
        deep = [deep]
    with pytest.raises(ValueError, match="nested more than 32 levels deep"):
        zuno_fwd.generate(OverSampling=deep, seed=1)
    with pytest.raises(ValueError, match="nested more than 32 levels deep"):
        zuno_fwd.generate({"slot": {"DATAslotMod": deep}}, seed=1)


def test_a_refusal_quotes_only_the_start_of_a_huge_value():
    with pytest.raises(ValueError) as refused:
        zuno_fwd.generate(OverSampling=[[[1] * 5000]], seed=1)
    assert len(str(refused.value)) < 300


def test_too_many_values_are_refused_before_they_are_built():
    with pytest.raises(ValueError, match="more than .* values"):
        _core.generate(None, ["[" + "0," * 300_000 + "0]"], 1)


def test_a_very_long_list_under_a_memory_limit_raises_and_the_interpreter_lives():
    # A child with little address space: a list far beyond it must give an exception, never
    # an abort, and the child must go on to print.
    code = textwrap.dedent("""
        import resource, sys
        import zuno_fwd
        from zuno_fwd import _core
        text = "[" + "0," * 60_000_000 + "0]"
        limit = 600 << 20
        used = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (used + limit, resource.RLIM_INFINITY))
        for call in (lambda: _core.generate(None, [text], 1),
                     lambda: zuno_fwd.generate(OverSampling=list(range(30_000_000)), seed=1)):
            try:
                call()
            except (MemoryError, ValueError) as e:
                print(type(e).__name__)
        print("alive")
    """)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=300,
                          env={**os.environ})
    assert done.returncode == 0, done.stderr
    lines = done.stdout.split()
    assert lines[-1] == "alive"
    assert len(lines) == 3
