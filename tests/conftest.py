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
        proc = subprocess.run([sys.executable, "-c", script], capture_output=True, env=env, timeout=60)
        assert proc.returncode == 0, proc.stderr.decode(errors="replace")
        return proc.stdout

    return run
