import os
import subprocess
import sys
import textwrap

import pytest


@pytest.fixture
def native_stdout():
    """Run a snippet in a fresh interpreter with every _veltrix name imported; return its stdout bytes.

    print_graph writes to the C++ std::cout rather than sys.stdout, so the only reliable way to see
    its exact bytes is the standard output of a separate process. The child gets C's default
    buffering (PYTHONUNBUFFERED would make the C stdout unbuffered too), so what is left unflushed
    at a hard exit is observable.
    """
    env = {k: v for k, v in os.environ.items() if k != "PYTHONUNBUFFERED"}

    def run(code):
        script = "from _veltrix import *\n" + textwrap.dedent(code)
        proc = subprocess.run(
            [sys.executable, "-c", script], capture_output=True, env=env, timeout=60
        )
        assert proc.returncode == 0, proc.stderr.decode(errors="replace")
        return proc.stdout

    return run


# The suite also runs against an extension built with AddressSanitizer, preloaded into Python.
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")


def pytest_addoption(parser):
    parser.addoption(
        "--fuzz-seconds",
        default=os.environ.get("VELTRIX_FUZZ_SECONDS", "60"),
        help="time spent on random programs by test_fuzz.py (default 60)",
    )
    parser.addoption(
        "--fuzz-seed",
        default=os.environ.get("VELTRIX_FUZZ_SEED", "1"),
        help="seed of the random programs (default 1)",
    )
