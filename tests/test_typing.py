"""The committed stub of _veltrix matches the module, and the typed code checks against it."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import _veltrix

ROOT = Path(__file__).resolve().parent.parent
STUB = ROOT / "python" / "_veltrix-stubs" / "__init__.pyi"

pytest.importorskip("mypy")

# mypy, stubtest and the stub generator each start a fresh interpreter and analyse the package.
pytestmark = pytest.mark.slow


def run(args, cwd, **env):
    proc = subprocess.run(
        [sys.executable, "-m", *args],
        cwd=cwd,
        capture_output=True,
        text=True,
        timeout=600,
        env={**os.environ, **env},
    )
    assert proc.returncode == 0, proc.stdout + proc.stderr
    return proc


@pytest.fixture(scope="module")
def stub_dir(tmp_path_factory):
    """A directory where mypy finds the committed stub as the module `_veltrix`."""
    path = tmp_path_factory.mktemp("stub")
    shutil.copy(STUB, path / "_veltrix.pyi")
    return path


def test_stub_is_what_the_generator_writes(tmp_path):
    pytest.importorskip("pybind11_stubgen")
    run(["pybind11_stubgen", "_veltrix", "-o", str(tmp_path)], tmp_path)
    assert (tmp_path / "_veltrix.pyi").read_text() == STUB.read_text(), (
        "the module changed: regenerate with `python -m pybind11_stubgen _veltrix -o OUT` "
        "and copy OUT/_veltrix.pyi to python/_veltrix-stubs/__init__.pyi"
    )


def test_installed_beside_the_module():
    shipped = Path(_veltrix.__file__).parent / "_veltrix-stubs"
    assert (shipped / "__init__.pyi").read_text() == STUB.read_text()
    assert (shipped / "py.typed").exists()


def test_stub_agrees_with_the_module(stub_dir):
    run(
        [
            "mypy.stubtest",
            "_veltrix",
            "--mypy-config-file",
            str(ROOT / "pyproject.toml"),
            "--allowlist",
            str(ROOT / "tests" / "stubtest_allowlist.txt"),
        ],
        stub_dir,
        MYPYPATH=str(stub_dir),
    )


def test_package_and_examples_type_check(stub_dir):
    run(
        [
            "mypy",
            "--config-file",
            str(ROOT / "pyproject.toml"),
            "--cache-dir",
            str(stub_dir / "cache"),
            str(ROOT / "python" / "veltrix"),
            str(ROOT / "examples"),
        ],
        stub_dir,
        MYPYPATH=str(stub_dir),
    )
