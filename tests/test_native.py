"""Configure, build and run the native test programs (tests/native) under CTest, once plainly
optimised and once under each sanitizer."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent

CONFIGURATIONS = {
    "release": ["-DCMAKE_BUILD_TYPE=Release"],
    "thread-sanitizer": ["-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS=-fsanitize=thread -O1 -g"],
    "address-undefined-sanitizers": [
        "-DCMAKE_BUILD_TYPE=Debug",
        "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all "
        "-fno-omit-frame-pointer -O1 -g",
    ],
}

# Any sanitizer report ends the program with a non-zero status, which fails the CTest run.
SANITIZER_OPTIONS = {
    "TSAN_OPTIONS": "halt_on_error=1 exitcode=66 second_deadlock_stack=1",
    "ASAN_OPTIONS": "halt_on_error=1 exitcode=66 detect_leaks=1 detect_stack_use_after_return=1",
    "UBSAN_OPTIONS": "halt_on_error=1 exitcode=66 print_stacktrace=1",
}


def tool(name):
    path = shutil.which(name)
    if path is None:
        pytest.fail(f"{name} not found on PATH; install the test extras (pip install .[test])")
    return path


def run(command, **kwargs):
    proc = subprocess.run(command, capture_output=True, text=True, timeout=600, **kwargs)
    assert proc.returncode == 0, f"{' '.join(map(str, command))} failed:\n{proc.stdout}\n{proc.stderr}"


@pytest.mark.parametrize("configuration", list(CONFIGURATIONS))
def test_native_programs(configuration, tmp_path_factory):
    build = tmp_path_factory.mktemp(f"native-{configuration}")
    run([tool("cmake"), "-S", ROOT, "-B", build, "-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={tool('ninja')}",
         "-DVELTRIX_PYTHON_MODULE=OFF", "-DVELTRIX_NATIVE_TESTS=ON", *CONFIGURATIONS[configuration]])
    run([tool("cmake"), "--build", build])
    run([tool("ctest"), "--output-on-failure"], cwd=build, env={**os.environ, **SANITIZER_OPTIONS})
