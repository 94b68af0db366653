"""Configure, build and run the native test programs (tests/native) under CTest with each
configure preset of CMakePresets.json: plainly optimised and under each sanitizer."""

import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import UNDER_ASAN

ROOT = Path(__file__).resolve().parent.parent

# Each preset builds the core library and every test program from scratch.
pytestmark = pytest.mark.slow
PRESETS = ["release", "tsan", "asan-ubsan"]


def tool(name):
    path = shutil.which(name)
    if path is None:
        pytest.fail(f"{name} not found on PATH; install the test extras (pip install .[test])")
    return path


def run(command):
    proc = subprocess.run(command, capture_output=True, text=True, timeout=900, cwd=ROOT)
    assert proc.returncode == 0, (
        f"{' '.join(map(str, command))} failed:\n{proc.stdout}\n{proc.stderr}"
    )


# These programs do not load the extension, so the run against the sanitized extension skips them.
@pytest.mark.skipif(
    UNDER_ASAN, reason="covered by the plain run; the programs do not load the extension"
)
@pytest.mark.parametrize("preset", PRESETS)
def test_native_programs(preset, tmp_path_factory):
    build = tmp_path_factory.mktemp(f"native-{preset}")
    run([tool("cmake"), "--preset", preset, "-B", build, f"-DCMAKE_MAKE_PROGRAM={tool('ninja')}"])
    run([tool("cmake"), "--build", build])
    # The test preset adds the sanitizers' options: any report fails the program.
    run([tool("ctest"), "--preset", preset, "--test-dir", build])
